// Text decoding under Specific Character Set; see character_set.h.
#include "character_set.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace dicomkit {

namespace {

constexpr char kEscape = 0x1B;

// Where a character set is invoked.
enum class SetKind {
    Ascii,      // G0: ISO 646 (the default repertoire)
    Roman,      // G0: JIS X 0201 romaji, decoded as ASCII so that '\' stays the delimiter
    Jis0208,    // G0: two bytes 0x21-0x7E per character
    Jis0212,    // G0: two bytes 0x21-0x7E per character
    Set96,      // G1: one byte 0xA0-0xFF per character, decoded by `iconvName`
    Latin1,     // G1: ISO 8859-1, one byte per character, decoded directly
    Katakana,   // G1: JIS X 0201 katakana, 0xA1-0xDF
    Ksx1001,    // G1: two bytes 0xA1-0xFE per character
    Gb2312,     // G1: two bytes 0xA1-0xFE per character
    Utf8,       // whole value, no code extensions
    Gb18030,    // whole value, no code extensions
    Gbk,        // whole value, no code extensions
};

struct CharacterSet {
    const char* term;          // the defined term, after "ISO_IR " or "ISO 2022 IR "
    SetKind g0;                // what the term designates to G0
    SetKind g1;                // what the term designates to G1 (Ascii: nothing)
    const char* iconvName;     // for Set96, Utf8, Gb18030, Gbk
};

// Terms by their number; "ISO_IR n" and "ISO 2022 IR n" designate the same sets.
constexpr CharacterSet kNumberedSets[] = {
    {"6", SetKind::Ascii, SetKind::Ascii, nullptr},
    {"100", SetKind::Ascii, SetKind::Latin1, "ISO-8859-1"},
    {"101", SetKind::Ascii, SetKind::Set96, "ISO-8859-2"},
    {"109", SetKind::Ascii, SetKind::Set96, "ISO-8859-3"},
    {"110", SetKind::Ascii, SetKind::Set96, "ISO-8859-4"},
    {"144", SetKind::Ascii, SetKind::Set96, "ISO-8859-5"},
    {"127", SetKind::Ascii, SetKind::Set96, "ISO-8859-6"},
    {"126", SetKind::Ascii, SetKind::Set96, "ISO-8859-7"},
    {"138", SetKind::Ascii, SetKind::Set96, "ISO-8859-8"},
    {"148", SetKind::Ascii, SetKind::Set96, "ISO-8859-9"},
    {"203", SetKind::Ascii, SetKind::Set96, "ISO-8859-15"},
    {"166", SetKind::Ascii, SetKind::Set96, "TIS-620"},
    {"13", SetKind::Roman, SetKind::Katakana, nullptr},
    {"87", SetKind::Jis0208, SetKind::Ascii, nullptr},
    {"159", SetKind::Jis0212, SetKind::Ascii, nullptr},
    {"149", SetKind::Ascii, SetKind::Ksx1001, nullptr},
    {"58", SetKind::Ascii, SetKind::Gb2312, nullptr},
};

constexpr CharacterSet kUtf8{"ISO_IR 192", SetKind::Utf8, SetKind::Ascii, "UTF-8"};
constexpr CharacterSet kGb18030{"GB18030", SetKind::Gb18030, SetKind::Ascii, "GB18030"};
constexpr CharacterSet kGbk{"GBK", SetKind::Gbk, SetKind::Ascii, "GBK"};

// Escape sequences (after ESC) and what they designate.
struct Designation {
    std::string_view sequence;
    bool toG0;
    SetKind kind;
    const char* iconvName;
};

constexpr Designation kDesignations[] = {
    {"(B", true, SetKind::Ascii, nullptr},
    {"(J", true, SetKind::Roman, nullptr},
    {"$B", true, SetKind::Jis0208, nullptr},
    {"$@", true, SetKind::Jis0208, nullptr},
    {"$(D", true, SetKind::Jis0212, nullptr},
    {")I", false, SetKind::Katakana, nullptr},
    {"-A", false, SetKind::Latin1, "ISO-8859-1"},
    {"-B", false, SetKind::Set96, "ISO-8859-2"},
    {"-C", false, SetKind::Set96, "ISO-8859-3"},
    {"-D", false, SetKind::Set96, "ISO-8859-4"},
    {"-L", false, SetKind::Set96, "ISO-8859-5"},
    {"-G", false, SetKind::Set96, "ISO-8859-6"},
    {"-F", false, SetKind::Set96, "ISO-8859-7"},
    {"-H", false, SetKind::Set96, "ISO-8859-8"},
    {"-M", false, SetKind::Set96, "ISO-8859-9"},
    {"-b", false, SetKind::Set96, "ISO-8859-15"},
    {"-T", false, SetKind::Set96, "TIS-620"},
    {"$)C", false, SetKind::Ksx1001, nullptr},
    {"$)A", false, SetKind::Gb2312, nullptr},
};

std::string_view trimSpaces(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
        text.remove_suffix(1);
    return text;
}

// The set a term names, or nullptr for an unknown term. "ISO_IR n" and
// "ISO 2022 IR n" name the same sets.
const CharacterSet* findTerm(std::string_view term)
{
    if (term.empty())
        return &kNumberedSets[0];
    if (term == kUtf8.term)
        return &kUtf8;
    if (term == kGb18030.term)
        return &kGb18030;
    if (term == kGbk.term)
        return &kGbk;
    std::string_view number;
    if (term.substr(0, 7) == "ISO_IR ")
        number = term.substr(7);
    else if (term.substr(0, 12) == "ISO 2022 IR ")
        number = term.substr(12);
    else
        return nullptr;
    for (const CharacterSet& set : kNumberedSets)
        if (number == set.term)
            return &set;
    return nullptr;
}

std::string hexByte(uint8_t byte)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

// iconv descriptors to wchar_t, opened once per thread and character set.
class IconvCache {
public:
    ~IconvCache()
    {
        for (auto& [name, descriptor] : descriptors_)
            if (descriptor != reinterpret_cast<iconv_t>(-1))
                iconv_close(descriptor);
    }

    iconv_t get(const char* name)
    {
        auto it = descriptors_.find(name);
        if (it == descriptors_.end())
            it = descriptors_.emplace(name, iconv_open("WCHAR_T", name)).first;
        return it->second;
    }

private:
    std::unordered_map<const char*, iconv_t> descriptors_;
};

bool convertWithIconv(const char* charset, std::string_view bytes, std::wstring& out, std::string& error)
{
    thread_local IconvCache cache;
    iconv_t descriptor = cache.get(charset);
    if (descriptor == reinterpret_cast<iconv_t>(-1)) {
        error = std::string("the system cannot convert from ") + charset;
        return false;
    }
    iconv(descriptor, nullptr, nullptr, nullptr, nullptr);
    // No character set here yields more characters than it has bytes.
    const size_t start = out.size();
    out.resize(start + bytes.size());
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* target = reinterpret_cast<char*>(out.data() + start);
    size_t targetLeft = bytes.size() * sizeof(wchar_t);
    const size_t result = iconv(descriptor, &in, &inLeft, &target, &targetLeft);
    const bool ok = result != static_cast<size_t>(-1) &&
                    iconv(descriptor, nullptr, nullptr, &target, &targetLeft) != static_cast<size_t>(-1);
    out.resize(start + (bytes.size() * sizeof(wchar_t) - targetLeft) / sizeof(wchar_t));
    if (!ok) {
        const size_t at = bytes.size() - inLeft;
        error = std::string("invalid ") + charset + " text at byte " + std::to_string(at);
        return false;
    }
    return true;
}

void appendLatin1(std::string_view bytes, std::wstring& out)
{
    for (char c : bytes)
        out.push_back(static_cast<wchar_t>(static_cast<uint8_t>(c)));
}

bool isPlainAscii(std::string_view bytes)
{
    for (char c : bytes)
        if (static_cast<uint8_t>(c) >= 0x80 || c == kEscape)
            return false;
    return true;
}

// Collects the bytes of consecutive characters of one iconv character set so
// that they are converted in one call.
class WideBuilder {
public:
    explicit WideBuilder(std::wstring& out) : out_(out) {}

    bool direct(wchar_t c, std::string& error)
    {
        if (!flush(error))
            return false;
        out_.push_back(c);
        return true;
    }

    bool encoded(const char* charset, std::string_view bytes, std::string& error)
    {
        if (charset != charset_) {
            if (!flush(error))
                return false;
            charset_ = charset;
        }
        pending_.append(bytes);
        return true;
    }

    bool flush(std::string& error)
    {
        if (pending_.empty())
            return true;
        const bool ok = convertWithIconv(charset_, pending_, out_, error);
        pending_.clear();
        return ok;
    }

private:
    std::wstring& out_;
    std::string pending_;
    const char* charset_ = nullptr;
};

struct Iso2022State {
    SetKind g0 = SetKind::Ascii;
    SetKind g1 = SetKind::Ascii;  // Ascii: nothing designated
    const char* g1Name = nullptr;
};

bool isDelimiter(uint8_t byte, TextDelimiters delimiters)
{
    switch (byte) {
    case '\r': case '\n': case '\f': case '\t':
        return true;
    case '\\':
        return delimiters != TextDelimiters::None;
    case '^': case '=':
        return delimiters == TextDelimiters::PersonName;
    default:
        return false;
    }
}

// Decodes with ISO 2022 code extensions: escape sequences switch the sets in
// G0 and G1; the initial sets (from the first term) come back at every
// delimiter.
bool decodeIso2022(std::string_view bytes, const Iso2022State& initial, TextDelimiters delimiters,
                   std::wstring& out, std::string& error)
{
    WideBuilder builder(out);
    Iso2022State state = initial;
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        const uint8_t byte = p[i];
        if (byte == static_cast<uint8_t>(kEscape)) {
            const Designation* found = nullptr;
            for (const Designation& designation : kDesignations) {
                if (bytes.substr(i + 1, designation.sequence.size()) == designation.sequence) {
                    found = &designation;
                    break;
                }
            }
            if (!found) {
                error = "unknown escape sequence at byte " + std::to_string(i);
                return false;
            }
            if (found->toG0) {
                state.g0 = found->kind;
            } else {
                state.g1 = found->kind;
                state.g1Name = found->iconvName;
            }
            i += 1 + found->sequence.size();
            continue;
        }
        // Controls, space and DEL always stand for themselves; other 7-bit
        // bytes too while G0 holds a single-byte set.
        const bool singleByteG0 = state.g0 == SetKind::Ascii || state.g0 == SetKind::Roman;
        if (byte < 0x21 || byte == 0x7F || (byte < 0x80 && singleByteG0)) {
            if (!builder.direct(static_cast<wchar_t>(byte), error))
                return false;
            if (isDelimiter(byte, delimiters))
                state = initial;
            ++i;
            continue;
        }
        if (byte < 0x80) {
            // JIS X 0208 / 0212 in G0: two bytes, decoded as EUC-JP.
            if (i + 1 >= n || p[i + 1] < 0x21 || p[i + 1] > 0x7E) {
                error = "incomplete two-byte character at byte " + std::to_string(i);
                return false;
            }
            char euc[3];
            size_t length = 0;
            if (state.g0 == SetKind::Jis0212)
                euc[length++] = static_cast<char>(0x8F);
            euc[length++] = static_cast<char>(p[i] | 0x80);
            euc[length++] = static_cast<char>(p[i + 1] | 0x80);
            if (!builder.encoded("EUC-JP", std::string_view(euc, length), error))
                return false;
            i += 2;
            continue;
        }
        switch (state.g1) {
        case SetKind::Latin1:
            if (!builder.direct(static_cast<wchar_t>(byte), error))
                return false;
            ++i;
            continue;
        case SetKind::Set96:
            if (!builder.encoded(state.g1Name, std::string_view(bytes.data() + i, 1), error))
                return false;
            ++i;
            continue;
        case SetKind::Katakana:
            if (byte < 0xA1 || byte > 0xDF) {
                error = "invalid JIS X 0201 byte " + hexByte(byte) + " at byte " + std::to_string(i);
                return false;
            }
            if (!builder.direct(static_cast<wchar_t>(0xFF61 + (byte - 0xA1)), error))
                return false;
            ++i;
            continue;
        case SetKind::Ksx1001:
        case SetKind::Gb2312:
            if (i + 1 >= n || p[i + 1] < 0xA1) {
                error = "incomplete two-byte character at byte " + std::to_string(i);
                return false;
            }
            if (!builder.encoded(state.g1 == SetKind::Ksx1001 ? "EUC-KR" : "EUC-CN",
                                 std::string_view(bytes.data() + i, 2), error))
                return false;
            i += 2;
            continue;
        default:
            error = "byte " + hexByte(byte) + " at byte " + std::to_string(i) + " outside the character sets in use";
            return false;
        }
    }
    return builder.flush(error);
}

// One character set without code extensions.
bool decodeSingle(std::string_view bytes, const CharacterSet& set, std::wstring& out, std::string& error)
{
    switch (set.g1) {
    case SetKind::Latin1:
        appendLatin1(bytes, out);
        return true;
    case SetKind::Set96:
        return convertWithIconv(set.iconvName, bytes, out, error);
    case SetKind::Katakana:
        for (size_t i = 0; i < bytes.size(); ++i) {
            const auto byte = static_cast<uint8_t>(bytes[i]);
            if (byte < 0x80) {
                out.push_back(static_cast<wchar_t>(byte));
            } else if (byte >= 0xA1 && byte <= 0xDF) {
                out.push_back(static_cast<wchar_t>(0xFF61 + (byte - 0xA1)));
            } else {
                error = "invalid JIS X 0201 byte " + hexByte(byte) + " at byte " + std::to_string(i);
                return false;
            }
        }
        return true;
    default:
        break;
    }
    switch (set.g0) {
    case SetKind::Utf8:
    case SetKind::Gb18030:
    case SetKind::Gbk:
        return convertWithIconv(set.iconvName, bytes, out, error);
    default:
        decodeDefaultRepertoire(bytes, out);
        return true;
    }
}

} // namespace

void decodeDefaultRepertoire(std::string_view bytes, std::wstring& out) { appendLatin1(bytes, out); }

bool decodeText(std::string_view bytes, std::string_view specificCharacterSet, TextDelimiters delimiters,
                std::wstring& out, std::string& error)
{
    if (isPlainAscii(bytes)) {
        appendLatin1(bytes, out);
        return true;
    }
    // The terms of the Specific Character Set, each without padding; an
    // empty first term is the default repertoire, empty later ones add nothing.
    std::vector<const CharacterSet*> sets;
    bool anyIso2022 = false;
    size_t termCount = 0;
    for (size_t start = 0;;) {
        const size_t end = specificCharacterSet.find('\\', start);
        const std::string_view term = trimSpaces(specificCharacterSet.substr(start, end - start));
        if (++termCount == 1 || !term.empty()) {
            const CharacterSet* set = findTerm(term);
            if (!set) {
                error = "unknown character set \"" + std::string(term) + "\"";
                return false;
            }
            sets.push_back(set);
            anyIso2022 = anyIso2022 || term.substr(0, 9) == "ISO 2022 ";
        }
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    const CharacterSet& first = *sets.front();
    const bool wholeValue = first.g0 == SetKind::Utf8 || first.g0 == SetKind::Gb18030 || first.g0 == SetKind::Gbk;
    if (wholeValue || (termCount == 1 && !anyIso2022))
        return decodeSingle(bytes, first, out, error);

    // G0 starts with a one-byte set even where the first term names a
    // two-byte one; escape sequences switch to that.
    Iso2022State initial;
    initial.g0 = first.g0 == SetKind::Roman ? SetKind::Roman : SetKind::Ascii;
    if (first.g1 != SetKind::Ascii) {
        initial.g1 = first.g1;
        initial.g1Name = first.iconvName;
    }
    return decodeIso2022(bytes, initial, delimiters, out, error);
}

} // namespace dicomkit
