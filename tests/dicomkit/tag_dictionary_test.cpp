// Keywords to tags through ITagDictionary, against DCMTK's data dictionary
// as Debian installs it.
#include "toolkit_fixture.h"

namespace {

class TagDictionary : public ToolkitTest {};

TEST_F(TagDictionary, MapsExactPublicKeywordsAndNothingElse)
{
    struct Row {
        const char* name;
        std::wstring keyword;
        uint32_t tag;
    };
    const Row rows[] = {
        {"patient name", L"PatientName", 0x00100010},
        {"meta group", L"TransferSyntaxUID", 0x00020010},
        {"pixel data", L"PixelData", 0x7FE00010},
        {"sequence", L"ReferencedImageSequence", 0x00081140},
        {"item (group FFFE)", L"Item", 0xFFFEE000},
        {"retired, as the standard names it", L"LossyImageCompressionRetired", 0x00082110},
        {"retired with DCMTK's prefix", L"RETIRED_LossyImageCompressionRetired", 0},
        {"retired repeating group", L"CurveDimensions", 0x50000005},
        {"repeating group: first of the range", L"OverlayData", 0x60003000},
        {"ranged elements: first of the range", L"SourceImageIDs", 0x00203100},
        {"lower case", L"patientname", 0},
        {"upper case", L"PATIENTNAME", 0},
        {"attribute name, not keyword", L"Patient's Name", 0},
        {"leading blank", L" PatientName", 0},
        {"trailing blank", L"PatientName ", 0},
        {"not a keyword", L"NoSuchKeyword", 0},
        {"DCMTK's generic group length", L"GenericGroupLength", 0},
        {"DCMTK's private creator entry", L"PrivateCreator", 0},
        {"non-ASCII", L"Patient\u00e9Name", 0},
        {"empty", L"", 0},
    };
    auto dictionary = createDictionary();
    for (const Row& row : rows) {
        const Bstr keyword(row.keyword);
        LONG tag = 0x5A5A5A5A;
        EXPECT_EQ(dictionary->TagFromKeyword(keyword, &tag), S_OK) << row.name;
        EXPECT_EQ(static_cast<uint32_t>(tag), row.tag) << row.name;
    }
    LONG tag = 0x5A5A5A5A;
    EXPECT_EQ(dictionary->TagFromKeyword(nullptr, &tag), S_OK) << "null BSTR";
    EXPECT_EQ(tag, 0) << "null BSTR";
    EXPECT_EQ(dictionary->TagFromKeyword(nullptr, nullptr), E_POINTER);
}

} // namespace
