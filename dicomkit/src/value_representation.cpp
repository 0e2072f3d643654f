// Facts about value representations; see value_representation.h. One table
// indexed by the two letters answers every question in a single load.
#include "value_representation.h"

#include <array>
#include <string_view>

namespace dicomkit {

namespace {

enum Trait : uint8_t {
    kKnown = 1 << 0,
    kText = 1 << 1,
    kNumber = 1 << 2,
    kSequence = 1 << 3,
    kLongLength = 1 << 4,
    kCharacterSet = 1 << 5,
    kMultiValued = 1 << 6,
    kLeadingSpaces = 1 << 7,
};

struct Entry {
    std::string_view code;
    uint8_t traits;
};

constexpr uint8_t kTextMulti = kKnown | kText | kMultiValued;

constexpr Entry kEntries[] = {
    {"AE", kTextMulti | kLeadingSpaces},
    {"AS", kTextMulti},
    {"CS", kTextMulti | kLeadingSpaces},
    {"DA", kTextMulti},
    {"DS", kTextMulti | kLeadingSpaces},
    {"DT", kTextMulti},
    {"IS", kTextMulti | kLeadingSpaces},
    {"LO", kTextMulti | kLeadingSpaces | kCharacterSet},
    {"LT", kKnown | kText | kCharacterSet},
    {"PN", kTextMulti | kCharacterSet},
    {"SH", kTextMulti | kLeadingSpaces | kCharacterSet},
    {"ST", kKnown | kText | kCharacterSet},
    {"TM", kTextMulti},
    {"UC", kTextMulti | kCharacterSet | kLongLength},
    {"UI", kTextMulti},
    {"UR", kKnown | kText | kLongLength},
    {"UT", kKnown | kText | kCharacterSet | kLongLength},
    {"US", kKnown | kNumber},
    {"SS", kKnown | kNumber},
    {"UL", kKnown | kNumber},
    {"SL", kKnown | kNumber},
    {"FL", kKnown | kNumber},
    {"FD", kKnown | kNumber},
    {"AT", kKnown | kNumber},
    {"SV", kKnown | kNumber | kLongLength},
    {"UV", kKnown | kNumber | kLongLength},
    {"SQ", kKnown | kSequence | kLongLength},
    {"OB", kKnown | kLongLength},
    {"OD", kKnown | kLongLength},
    {"OF", kKnown | kLongLength},
    {"OL", kKnown | kLongLength},
    {"OV", kKnown | kLongLength},
    {"OW", kKnown | kLongLength},
    {"UN", kKnown | kLongLength},
};

constexpr size_t index(char first, char second) { return size_t(first - 'A') * 26 + size_t(second - 'A'); }

// Two upper-case letters that name no VR: unknown, and (as the encoding
// rules say for VRs to come) with a 4-byte length.
constexpr std::array<uint8_t, 26 * 26> makeTable()
{
    std::array<uint8_t, 26 * 26> table{};
    for (uint8_t& traits : table)
        traits = kLongLength;
    for (const Entry& entry : kEntries)
        table[index(entry.code[0], entry.code[1])] = entry.traits;
    return table;
}

constexpr std::array<uint8_t, 26 * 26> kTable = makeTable();

// Anything that is not two upper-case letters (implicit VR, DCMTK's
// lower-case pseudo VRs) has no traits.
uint8_t traitsOf(Vr vr)
{
    const auto first = static_cast<uint8_t>(vr >> 8);
    const auto second = static_cast<uint8_t>(vr & 0xFF);
    if (!looksLikeVr(first, second))
        return 0;
    return kTable[index(static_cast<char>(first), static_cast<char>(second))];
}

} // namespace

VrKind kindOf(Vr vr)
{
    const uint8_t traits = traitsOf(vr);
    if (traits & kText)
        return VrKind::Text;
    if (traits & kNumber)
        return VrKind::Number;
    if (traits & kSequence)
        return VrKind::Sequence;
    return VrKind::Bulk;
}

bool isKnownVr(Vr vr) { return traitsOf(vr) & kKnown; }

bool looksLikeVr(uint8_t first, uint8_t second)
{
    return first >= 'A' && first <= 'Z' && second >= 'A' && second <= 'Z';
}

bool hasLongLengthField(Vr vr) { return traitsOf(vr) & kLongLength; }
bool usesSpecificCharacterSet(Vr vr) { return traitsOf(vr) & kCharacterSet; }
bool isMultiValuedText(Vr vr) { return traitsOf(vr) & kMultiValued; }
bool hasInsignificantLeadingSpaces(Vr vr) { return traitsOf(vr) & kLeadingSpaces; }

} // namespace dicomkit
