// Fuzz target: arbitrary file-name templates, AE titles and attribute values.
//
// The input is cut into fields at every 0x1F byte: the template (cut to the
// 259 characters the settings reader keeps), the source and the destination
// AE title, the Specific Character Set, then the values of the attributes in
// kAttributes, in order. A missing field leaves its
// attribute out of the file. The attributes are written as an explicit VR
// little endian Part 10 file, the template is compiled through the real
// toolkit's dictionary and expanded for that file, and the name is filed.
//
// Invariants: every element found is a word of the template with a tag; every
// BSTR and COM initialisation is given back; a template without keywords or
// placeholders names the file as it is written; and the filing invariants of
// filing_checks.h.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "filing/filename_builder.h"
#include "filing/template_compiler.h"
#include "filing_checks.h"
#include "fuzz_environment.h"
#include "fuzz_targets.h"

namespace fuzz {

namespace {

namespace fs = std::filesystem;

constexpr char kFieldSeparator = '\x1F';
constexpr size_t kMaxTemplateLength = 259;

struct Attribute {
    std::uint16_t group;
    std::uint16_t element;
    char vr[3];
};

// Ascending by tag, as a data set stores them.
constexpr Attribute kAttributes[] = {
    {0x0008, 0x0005, "CS"},  // SpecificCharacterSet
    {0x0008, 0x0018, "UI"},  // SOPInstanceUID
    {0x0008, 0x0020, "DA"},  // StudyDate
    {0x0008, 0x0030, "TM"},  // StudyTime
    {0x0008, 0x0050, "SH"},  // AccessionNumber
    {0x0008, 0x0060, "CS"},  // Modality
    {0x0008, 0x1030, "LO"},  // StudyDescription
    {0x0010, 0x0010, "PN"},  // PatientName
    {0x0010, 0x0020, "LO"},  // PatientID
    {0x0010, 0x1010, "AS"},  // PatientAge
    {0x0018, 0x0050, "DS"},  // SliceThickness
    {0x0020, 0x000D, "UI"},  // StudyInstanceUID
    {0x0020, 0x000E, "UI"},  // SeriesInstanceUID
    {0x0020, 0x0013, "IS"},  // InstanceNumber
    {0x0028, 0x0030, "DS"},  // PixelSpacing
    {0x0040, 0xA160, "UT"},  // TextValue
};

std::vector<std::string_view> fields(std::string_view input)
{
    std::vector<std::string_view> cut;
    for (;;) {
        const size_t end = input.find(kFieldSeparator);
        cut.push_back(input.substr(0, end));
        if (end == std::string_view::npos)
            return cut;
        input.remove_prefix(end + 1);
    }
}

void putU16(std::string& out, std::uint16_t value)
{
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

void putU32(std::string& out, std::uint32_t value)
{
    putU16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    putU16(out, static_cast<std::uint16_t>(value >> 16));
}

bool hasLongLength(std::string_view vr) { return vr == "UT" || vr == "OB"; }

// One explicit VR little endian element; the value padded to even length
// (UIDs with NUL, texts with a space) and cut to what its length field holds.
void putElement(std::string& out, std::uint16_t group, std::uint16_t element, std::string_view vr,
                std::string_view value)
{
    std::string padded(value.substr(0, hasLongLength(vr) ? 1u << 20 : 0xFFFE));
    if (padded.size() % 2 != 0)
        padded.push_back(vr == "UI" || vr == "OB" ? '\0' : ' ');
    putU16(out, group);
    putU16(out, element);
    out.append(vr);
    if (hasLongLength(vr)) {
        out.append(2, '\0');
        putU32(out, static_cast<std::uint32_t>(padded.size()));
    } else {
        putU16(out, static_cast<std::uint16_t>(padded.size()));
    }
    out.append(padded);
}

std::string partTenFile(const std::vector<std::string_view>& values)
{
    std::string meta;
    putElement(meta, 0x0002, 0x0001, "OB", std::string_view("\0\1", 2));
    putElement(meta, 0x0002, 0x0002, "UI", "1.2.840.10008.5.1.4.1.1.2");
    putElement(meta, 0x0002, 0x0003, "UI", "1.2.3.4");
    putElement(meta, 0x0002, 0x0010, "UI", "1.2.840.10008.1.2.1");
    std::string file(128, '\0');
    file.append("DICM");
    std::string groupLength;
    putU32(groupLength, static_cast<std::uint32_t>(meta.size()));
    putElement(file, 0x0002, 0x0000, "UL", groupLength);
    file.append(meta);
    for (size_t i = 0; i < values.size() && i < std::size(kAttributes); ++i)
        putElement(file, kAttributes[i].group, kAttributes[i].element, kAttributes[i].vr, values[i]);
    return file;
}

bool isWordOf(std::string_view filenameTemplate, std::string_view keyword)
{
    size_t start = 0;
    while (start <= filenameTemplate.size()) {
        size_t end = filenameTemplate.find_first_of(".\\", start);
        if (end == std::string_view::npos)
            end = filenameTemplate.size();
        if (filenameTemplate.substr(start, end - start) == keyword)
            return true;
        start = end + 1;
    }
    return false;
}

} // namespace

int templateOne(const std::uint8_t* data, std::size_t size)
{
    Environment& environment = Environment::get();
    static const fs::path received = environment.scratch() / "template" / "received.dcm";
    static const fs::path root = environment.scratch() / "template" / "root";
    static const bool made = fs::create_directories(root);
    (void)made;

    const std::vector<std::string_view> cut = fields(std::string_view(reinterpret_cast<const char*>(data), size));
    // Templates and AE titles reach the module as C strings; a template, read
    // from the settings file, keeps at most 259 characters.
    const std::string filenameTemplate(cut[0].substr(0, std::min(cut[0].find('\0'), size_t{kMaxTemplateLength})));
    const std::string sourceAeTitle(cut.size() > 1 ? cut[1].substr(0, cut[1].find('\0')) : "SOURCE");
    const std::string destinationAeTitle(cut.size() > 2 ? cut[2].substr(0, cut[2].find('\0')) : "DESTINATION");
    const std::vector<std::string_view> values(cut.begin() + std::min<size_t>(cut.size(), 3), cut.end());
    writeBytes(received, partTenFile(values));

    const ResourceCounts before = resourceCounts();
    filing::TemplateElements elements;
    filing::compileTemplate(filenameTemplate, elements);
    check(resourceCounts() == before, "compiling gives back every BSTR and apartment");
    for (const filing::TemplateElement& element : elements) {
        check(element.tag != 0, "every element has a tag");
        check(!element.keyword.empty() && isWordOf(filenameTemplate, element.keyword),
              "every element is a word of the template");
    }

    const std::string name =
        filing::buildFnameFromTemplate(filenameTemplate, elements, windowsPath(received), sourceAeTitle,
                                       destinationAeTitle);
    check(resourceCounts() == before, "expanding gives back every BSTR and apartment");
    if (elements.empty() && filenameTemplate.find('%') == std::string::npos)
        check(name == filenameTemplate, "a template without keywords names the file as written");

    fileAndCheck(root, name, received);
    return 0;
}

} // namespace fuzz
