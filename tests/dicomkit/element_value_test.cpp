// IDicomElement::GetValue and GetValueLength: padding, several values,
// character sets, numbers, and values that have no text form.
#include "toolkit_fixture.h"

#include <dcmtk/dcmdata/dcvrobow.h>

#include "dicom_tags.h"
#include "dicom_writer.h"

namespace {

namespace fs = std::filesystem;
using toolkit::ComPtr;
using toolkit::IDicomElement;
using toolkit::IDicomFileObject;

class ElementValue : public ToolkitTest {
protected:
    // A basic data set changed by `fill`, written in `syntax` and loaded.
    template <class Fill>
    ComPtr<IDicomFileObject> loadWith(Fill fill, E_TransferSyntax syntax = EXS_LittleEndianExplicit)
    {
        DcmFileFormat dicom;
        fillBasicDataSet(*dicom.getDataset());
        fill(*dicom.getDataset());
        const fs::path path = temp_.path() / ("values-" + std::to_string(++files_) + ".dcm");
        writeFile(dicom, path, syntax);
        return loaded(path);
    }

    static uint32_t tagOf(const DcmTagKey& key) { return uint32_t(key.getGroup()) << 16 | key.getElement(); }

private:
    int files_ = 0;
};

TEST_F(ElementValue, TextLosesItsPaddingValueByValue)
{
    struct Row {
        const char* name;
        DcmTagKey tag;
        std::string stored;
        std::wstring expected;
    };
    const Row rows[] = {
        {"CS, blanks both sides", DCM_Modality, " CT ", L"CT"},
        {"CS, several values", DCM_ImageType, "ORIGINAL \\ PRIMARY\\AXIAL ", L"ORIGINAL\\PRIMARY\\AXIAL"},
        {"DS, several values with blanks", DCM_PixelSpacing, " 0.5\\0.25 ", L"0.5\\0.25"},
        {"IS, leading blanks", DCM_SeriesNumber, "   7", L"7"},
        {"LO, leading blanks", DCM_PatientID, "  ID 42 ", L"ID 42"},
        {"SH, leading blanks", DCM_AccessionNumber, " A1", L"A1"},
        {"AE, blanks both sides", DCM_StationAETitle, " STATION ", L"STATION"},
        {"PN, trailing blanks only", DCM_PatientName, " Doe^John  ", L" Doe^John"},
        {"UI, odd length padded with NUL", DCM_StudyInstanceUID, "1.2.3", L"1.2.3"},
        {"UI, several values", DCM_RelatedGeneralSOPClassUID, "1.2.3\\1.2.45", L"1.2.3\\1.2.45"},
        {"DA", DCM_StudyDate, "20240131", L"20240131"},
        {"TM", DCM_StudyTime, "101010.123", L"101010.123"},
        {"LT keeps leading blanks and backslashes", DCM_ImageComments, "  first\\second  ", L"  first\\second"},
        {"ST keeps inner line breaks", DCM_InstitutionAddress, "Line 1\r\nLine 2 ", L"Line 1\r\nLine 2"},
        {"UR", DCM_PixelDataProviderURL, "http://host/x ", L"http://host/x"},
        {"UT keeps leading blanks", DCM_TextValue, "  text ", L"  text"},
        {"empty value", DCM_ReferringPhysicianName, "", L""},
    };
    auto file = loadWith([&](DcmDataset& data) {
        for (const Row& row : rows)
            putRaw(data, row.tag, row.stored);
    });
    for (const Row& row : rows)
        EXPECT_EQ(text(file.get(), tagOf(row.tag)), row.expected) << row.name;
}

TEST_F(ElementValue, TextIsDecodedFromTheSpecificCharacterSet)
{
    struct Row {
        const char* name;
        std::string characterSet;
        std::string stored;
        std::wstring expected;
    };
    const Row rows[] = {
        {"Latin-1", "ISO_IR 100", "Buc^J\xe9r\xf4me", L"Buc^J\u00e9r\u00f4me"},
        {"UTF-8", "ISO_IR 192", "Wang^XiaoDong=\xe7\x8e\x8b^\xe5\xb0\x8f\xe6\x9d\xb1=", L"Wang^XiaoDong=王^小東="},
        {"Japanese, ISO 2022 IR 87",
         "\\ISO 2022 IR 87",
         "Yamada^Tarou=\x1b$B;3ED\x1b(B^\x1b$BB@O:\x1b(B=\x1b$B$d$^$@\x1b(B^\x1b$B$?$m$&\x1b(B",
         L"Yamada^Tarou=山田^太郎=やまだ^たろう"},
        {"no character set, plain ASCII", "", "Doe^Jane", L"Doe^Jane"},
    };
    for (const Row& row : rows) {
        auto file = loadWith([&](DcmDataset& data) {
            if (!row.characterSet.empty())
                putRaw(data, DCM_SpecificCharacterSet, row.characterSet);
            putRaw(data, DCM_PatientName, row.stored);
        });
        EXPECT_EQ(text(file.get(), tags::kPatientName), row.expected) << row.name;
    }
}

TEST_F(ElementValue, DecodesTheCharacterSetsOfAnotherWritersFiles)
{
    struct Row {
        const char* file;
        std::wstring patientName;
    };
    const Row rows[] = {
        {"chrFren.dcm", L"Buc^J\u00e9r\u00f4me"},
        {"chrGerm.dcm", L"\u00c4neas^R\u00fcdiger"},
        {"chrGreek.dcm", L"\u0394\u03b9\u03bf\u03bd\u03c5\u03c3\u03b9\u03bf\u03c2"},
        {"chrRuss.dcm", L"\u041b\u044e\u043ace\u043c\u0431yp\u0433"},
        {"chrArab.dcm", L"\u0642\u0628\u0627\u0646\u064a^\u0644\u0646\u0632\u0627\u0631"},
        {"chrHbrw.dcm", L"\u05e9\u05e8\u05d5\u05df^\u05d3\u05d1\u05d5\u05e8\u05d4"},
        {"chrX1.dcm", L"Wang^XiaoDong=\u738b^\u5c0f\u6771="},
        {"chrX2.dcm", L"Wang^XiaoDong=\u738b^\u5c0f\u4e1c="},
        {"chrH31.dcm", L"Yamada^Tarou=\u5c71\u7530^\u592a\u90ce=\u3084\u307e\u3060^\u305f\u308d\u3046"},
        {"chrH32.dcm", L"\uff94\uff8f\uff80\uff9e^\uff80\uff9b\uff73=\u5c71\u7530^\u592a\u90ce="
                       L"\u3084\u307e\u3060^\u305f\u308d\u3046"},
        {"chrJapMultiExplicitIR6.dcm", L"\u3084\u307e\u3060^\u305f\u308d\u3046"},
        {"chrI2.dcm", L"Hong^Gildong=\u6d2a^\u5409\u6d1e=\ud64d^\uae38\ub3d9"},
        {"chrKoreanMulti.dcm", L"\uae40\ud76c\uc911"},
    };
    for (const Row& row : rows) {
        auto file = loaded(pydicomFile("charset_files/" + std::string(row.file)));
        EXPECT_EQ(text(file.get(), tags::kPatientName), row.patientName) << row.file;
    }
}

TEST_F(ElementValue, UndecodableTextFailsItsGetValueButNotTheLoad)
{
    struct Row {
        const char* name;
        std::string characterSet;
        std::string stored;
        std::wstring reason;
    };
    const Row rows[] = {
        {"broken UTF-8", "ISO_IR 192", "Caf\xc3", L"invalid UTF-8 text at byte 3"},
        {"unknown character set", "ISO_IR 999", "Caf\xe9", L"unknown character set \"ISO_IR 999\""},
        {"unknown escape sequence", "\\ISO 2022 IR 87", "A\x1b$ZB", L"unknown escape sequence at byte 1"},
        {"two-byte character cut short", "\\ISO 2022 IR 87", "\x1b$B;3E", L"incomplete two-byte character at byte 5"},
    };
    for (const Row& row : rows) {
        auto file = loadWith([&](DcmDataset& data) {
            putRaw(data, DCM_SpecificCharacterSet, row.characterSet);
            putRaw(data, DCM_PatientName, row.stored);
        });
        ASSERT_TRUE(file) << row.name;
        auto found = element(file.get(), tags::kPatientName);
        ASSERT_TRUE(found) << row.name;
        Variant value;
        const HRESULT hr = found->GetValue(&value);
        EXPECT_EQ(hr, E_FAIL) << row.name;
        EXPECT_EQ(value.vt, VT_EMPTY) << row.name;
        EXPECT_EQ(failureDescription(hr, found.get(), toolkit::IID_IDicomElement),
                  L"cannot decode the value of (0010,0010): " + row.reason)
            << row.name;
        EXPECT_EQ(text(file.get(), 0x00080060), L"CT") << row.name << ": other values still read";
    }
}

TEST_F(ElementValue, NumbersComeAsVariantsOfTheirKind)
{
    struct Row {
        const char* name;
        DcmTagKey tag;
        VARTYPE type;
        std::wstring text;
    };
    const Row rows[] = {
        {"US", DCM_Rows, VT_I4, L"4"},
        {"SS", DCM_TagAngleSecondAxis, VT_I4, L"-7"},
        {"UL", DCM_SimpleFrameList, VT_UI4, L"4000000000"},
        {"SL", DCM_ReferencePixelX0, VT_I4, L"-100000"},
        {"FL, shortest decimal form", DCM_RecommendedDisplayFrameRateInFloat, VT_R8, L"0.1"},
        {"FD", DCM_DiffusionBValue, VT_R8, L"2.5"},
        {"AT, as (group << 16) | element", DCM_FrameIncrementPointer, VT_UI4, L"1577059"},
        {"US, several", DCM_AcquisitionMatrix, VT_BSTR, L"0\\64\\65535\\0"},
        {"FD, several", DCM_ImagePositionVolume, VT_BSTR, L"1.5\\-2\\0"},
        {"US, empty", DCM_SynchronizationChannel, VT_BSTR, L""},
    };
    for (E_TransferSyntax syntax : {EXS_LittleEndianExplicit, EXS_BigEndianExplicit, EXS_LittleEndianImplicit}) {
        auto file = loadWith(
            [](DcmDataset& data) {
                data.putAndInsertSint16(DCM_TagAngleSecondAxis, -7);
                data.putAndInsertUint32(DCM_SimpleFrameList, 4000000000u);
                data.putAndInsertSint32(DCM_ReferencePixelX0, -100000);
                data.putAndInsertFloat32(DCM_RecommendedDisplayFrameRateInFloat, 0.1f);
                data.putAndInsertFloat64(DCM_DiffusionBValue, 2.5);
                data.putAndInsertTagKey(DCM_FrameIncrementPointer, DCM_FrameTime);
                const Uint16 matrix[] = {0, 64, 65535, 0};
                data.putAndInsertUint16Array(DCM_AcquisitionMatrix, matrix, 4);
                const Float64 position[] = {1.5, -2, 0};
                data.putAndInsertFloat64Array(DCM_ImagePositionVolume, position, 3);
                data.insertEmptyElement(DCM_SynchronizationChannel);
            },
            syntax);
        const std::string syntaxName = DcmXfer(syntax).getXferName();
        for (const Row& row : rows) {
            Variant raw;
            ASSERT_EQ(value(file.get(), tagOf(row.tag), &raw), S_OK) << row.name << ", " << syntaxName;
            EXPECT_EQ(raw.vt, row.type) << row.name << ", " << syntaxName;
            EXPECT_EQ(text(file.get(), tagOf(row.tag)), row.text) << row.name << ", " << syntaxName;
        }
    }
}

TEST_F(ElementValue, USOrSSFollowsPixelRepresentationInImplicitData)
{
    for (Uint16 representation : {0, 1}) {
        auto file = loadWith(
            [&](DcmDataset& data) {
                data.putAndInsertUint16(DCM_PixelRepresentation, representation);
                data.putAndInsertUint16(DCM_SmallestImagePixelValue, 0xFFFB);
            },
            EXS_LittleEndianImplicit);
        EXPECT_EQ(text(file.get(), 0x00280106), representation ? L"-5" : L"65531")
            << "pixel representation " << representation;
    }
}

TEST_F(ElementValue, SequencesAndBulkDataHaveNoTextForm)
{
    struct Row {
        const char* name;
        uint32_t tag;
    };
    const Row rows[] = {
        {"sequence", 0x00081140},
        {"OB", 0x00020001},
        {"OW pixel data", 0x7FE00010},
        {"UN", 0x00291010},
    };
    for (E_TransferSyntax syntax : {EXS_LittleEndianExplicit, EXS_LittleEndianImplicit}) {
        auto file = loadWith(
            [](DcmDataset& data) {
                data.putAndInsertString(DcmTag(0x0029, 0x0010, EVR_LO), "CREATOR");
                auto* unknown = new DcmOtherByteOtherWord(DcmTag(0x0029, 0x1010, EVR_UN));
                const Uint8 bytes[] = {1, 2, 3, 4};
                unknown->putUint8Array(bytes, 4);
                data.insert(unknown);
            },
            syntax);
        const std::string syntaxName = DcmXfer(syntax).getXferName();
        for (const Row& row : rows) {
            auto found = element(file.get(), row.tag);
            ASSERT_TRUE(found) << row.name << ", " << syntaxName;
            Variant raw;
            EXPECT_EQ(found->GetValue(&raw), S_OK) << row.name << ", " << syntaxName;
            EXPECT_EQ(raw.vt, VT_NULL) << row.name << ", " << syntaxName;
            Variant converted;
            EXPECT_EQ(VariantChangeType(&converted, &raw, 0, VT_BSTR), DISP_E_TYPEMISMATCH)
                << row.name << ", " << syntaxName;
            ULONG length = 0;
            EXPECT_EQ(found->GetValueLength(&length), S_OK);
            EXPECT_GT(length, 0u) << row.name << ", " << syntaxName;
        }
    }
}

TEST_F(ElementValue, LengthIsTheStoredLength)
{
    auto file = loadWith([](DcmDataset& data) {
        putRaw(data, DCM_PatientID, "ABC");  // padded to 4 on disk
        data.insertEmptyElement(DCM_AccessionNumber);
    });
    EXPECT_EQ(valueLength(file.get(), 0x00100020), 4u);
    EXPECT_EQ(valueLength(file.get(), 0x00080050), 0u);
    EXPECT_EQ(valueLength(file.get(), 0x00280010), 2u);
    auto found = element(file.get(), 0x00100020);
    EXPECT_EQ(found->GetValueLength(nullptr), E_POINTER);
    EXPECT_EQ(found->GetValue(nullptr), E_POINTER);
}

} // namespace
