// IDicomFileObject::LoadFile and FindElement: every transfer syntax, files
// from another writer, deflated data sets read up to their pixel data and
// their stated lengths checked before anything is allocated for them,
// failures and their descriptions, the file left closed, large values left on
// disk, loading again.
#include "toolkit_fixture.h"

#include <sys/stat.h>

#include <fstream>
#include <functional>
#include <limits>

#include "dicom_tags.h"
#include "dicom_writer.h"

namespace {

namespace fs = std::filesystem;
using toolkit::ComPtr;
using toolkit::IDicomElement;
using toolkit::IDicomFileObject;

class LoadFile : public ToolkitTest {
protected:
    fs::path writeBasic(const std::string& name, E_TransferSyntax syntax, bool bare = false,
                        E_EncodingType sequences = EET_ExplicitLength)
    {
        DcmFileFormat dicom;
        fillBasicDataSet(*dicom.getDataset());
        const fs::path path = temp_.path() / name;
        writeFile(dicom, path, syntax, bare, sequences);
        return path;
    }

    // Whether this process has a descriptor open on `path`.
    static bool heldOpen(const fs::path& path)
    {
        const fs::path wanted = fs::weakly_canonical(path);
        for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
            std::error_code error;
            const fs::path target = fs::read_symlink(entry.path(), error);
            if (!error && target == wanted)
                return true;
        }
        return false;
    }

    // The basic data set with a text value (UT) and a bulk value (OB) of 32-bit
    // length, written deflated.
    fs::path writeDeflated(const std::string& name)
    {
        DcmFileFormat dicom;
        DcmDataset& data = *dicom.getDataset();
        fillBasicDataSet(data);
        EXPECT_TRUE(data.putAndInsertString(DCM_TextValue, "Findings as text").good());
        const Uint8 document[] = {'%', 'P', 'D', 'F', '-', '1', '.', '4'};
        EXPECT_TRUE(data.putAndInsertUint8Array(DCM_EncapsulatedDocument, document, sizeof document).good());
        const fs::path path = temp_.path() / name;
        writeFile(dicom, path, EXS_DeflatedLittleEndianExplicit);
        return path;
    }

    // The peak virtual memory of this process so far, in bytes. It counts an
    // allocation whether or not its pages were ever touched.
    static uint64_t peakVirtualMemory()
    {
        std::ifstream status("/proc/self/status");
        std::string key;
        while (status >> key) {
            if (key == "VmPeak:") {
                uint64_t kilobytes = 0;
                status >> kilobytes;
                return kilobytes * 1024;
            }
            status.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
        }
        ADD_FAILURE() << "no VmPeak in /proc/self/status";
        return 0;
    }

    // Bytes this process has read through read-like system calls so far.
    static uint64_t bytesRead()
    {
        std::ifstream io("/proc/self/io");
        std::string key;
        uint64_t value = 0;
        while (io >> key >> value)
            if (key == "rchar:")
                return value;
        return 0;
    }
};

TEST_F(LoadFile, ReadsEveryTransferSyntaxWithAndWithoutMetaHeader)
{
    struct Row {
        const char* name;
        E_TransferSyntax syntax;
        bool bare;
        E_EncodingType sequences;
        std::wstring transferSyntax;
    };
    const Row rows[] = {
        {"implicit little endian", EXS_LittleEndianImplicit, false, EET_ExplicitLength, L"1.2.840.10008.1.2"},
        {"explicit little endian", EXS_LittleEndianExplicit, false, EET_ExplicitLength, L"1.2.840.10008.1.2.1"},
        {"explicit big endian", EXS_BigEndianExplicit, false, EET_ExplicitLength, L"1.2.840.10008.1.2.2"},
        {"deflated", EXS_DeflatedLittleEndianExplicit, false, EET_ExplicitLength, L"1.2.840.10008.1.2.1.99"},
        {"implicit, undefined-length sequences", EXS_LittleEndianImplicit, false, EET_UndefinedLength,
         L"1.2.840.10008.1.2"},
        {"explicit, undefined-length sequences", EXS_LittleEndianExplicit, false, EET_UndefinedLength,
         L"1.2.840.10008.1.2.1"},
        {"big endian, undefined-length sequences", EXS_BigEndianExplicit, false, EET_UndefinedLength,
         L"1.2.840.10008.1.2.2"},
        {"bare implicit little endian", EXS_LittleEndianImplicit, true, EET_UndefinedLength, L"<absent>"},
        {"bare explicit little endian", EXS_LittleEndianExplicit, true, EET_ExplicitLength, L"<absent>"},
        {"bare explicit big endian", EXS_BigEndianExplicit, true, EET_UndefinedLength, L"<absent>"},
    };
    int index = 0;
    for (const Row& row : rows) {
        const fs::path path = writeBasic("syntax-" + std::to_string(index++) + ".dcm", row.syntax, row.bare,
                                         row.sequences);
        auto file = loaded(path);
        ASSERT_TRUE(file) << row.name;
        EXPECT_EQ(text(file.get(), tags::kTransferSyntaxUID), row.transferSyntax) << row.name;
        EXPECT_EQ(text(file.get(), tags::kPatientName), widenAscii(kPatientName)) << row.name;
        EXPECT_EQ(text(file.get(), tags::kSOPInstanceUID), widenAscii(kSopInstanceUid)) << row.name;
        EXPECT_EQ(text(file.get(), tags::kStudyInstanceUID), widenAscii(kStudyInstanceUid)) << row.name;
        EXPECT_EQ(text(file.get(), tags::kRows), std::to_wstring(kRows)) << row.name;
        EXPECT_GT(valueLength(file.get(), tags::kReferencedImageSequence), 0u) << row.name;
        EXPECT_EQ(valueLength(file.get(), tags::kPixelData), kRows * kColumns * 2) << row.name;
        EXPECT_FALSE(element(file.get(), 0x00100020)) << row.name << ": absent element";
    }
}

TEST_F(LoadFile, EncapsulatedPixelDataHasTheLengthOfItsItems)
{
    const fs::path path = temp_.path() / "encapsulated.dcm";
    writeEncapsulated(path, {std::string(6, 'a'), std::string(10, 'b')});
    auto file = loaded(path);
    EXPECT_EQ(text(file.get(), tags::kTransferSyntaxUID), L"1.2.840.10008.1.2.4.50");
    EXPECT_EQ(text(file.get(), tags::kPatientName), widenAscii(kPatientName));
    // Offset table item, two fragments: three 8-byte item headers plus 16 bytes.
    EXPECT_EQ(valueLength(file.get(), tags::kPixelData), 3u * 8 + 6 + 10);
}

TEST_F(LoadFile, ReadsADeflatedDataSetUpToItsPixelData)
{
    DeflatedParts parts = splitDeflated(readBytes(writeDeflated("written.dcm")));
    // After the pixel data, an element stating more bytes than follow: the
    // reader stops before it.
    parts.dataSet += std::string("\xE1\x7F\x10\x00OB\0\0\xF0\xFF\xFF\xFF", 12) + "short";
    const fs::path path = temp_.path() / "deflated.dcm";
    writeBytes(path, joinDeflated(parts));

    auto file = loaded(path);
    ASSERT_TRUE(file);
    EXPECT_EQ(text(file.get(), tags::kTransferSyntaxUID), L"1.2.840.10008.1.2.1.99");
    EXPECT_EQ(text(file.get(), tags::kPatientName), widenAscii(kPatientName));
    EXPECT_EQ(text(file.get(), tags::kStudyInstanceUID), widenAscii(kStudyInstanceUid));
    EXPECT_EQ(text(file.get(), tags::kTextValue), L"Findings as text");
    EXPECT_EQ(text(file.get(), tags::kRows), std::to_wstring(kRows));
    EXPECT_EQ(valueLength(file.get(), tags::kEncapsulatedDocument), 8u);
    EXPECT_GT(valueLength(file.get(), tags::kReferencedImageSequence), 0u);
    EXPECT_EQ(valueLength(file.get(), tags::kPixelData), kRows * kColumns * 2);
    EXPECT_FALSE(element(file.get(), 0x7FE10010)) << "an element after the pixel data";
}

TEST_F(LoadFile, DeflatedLengthsBeyondTheDataSetAreRefusedWithoutBeingAllocated)
{
    constexpr uint32_t kClaimed = 0xFFFFFFF0;
    const DeflatedParts written = splitDeflated(readBytes(writeDeflated("written.dcm")));
    const auto claiming = [&](const DcmTagKey& tag, const char* vr) {
        return [&written, tag, vr] {
            DeflatedParts parts = written;
            setLongLength(parts.dataSet, tag, vr, kClaimed);
            return joinDeflated(parts);
        };
    };
    struct Row {
        const char* name;
        std::function<std::string()> make;  // the file's bytes
        std::wstring prefix;                // the description is prefix + path (+ suffix)
        std::wstring suffix = L"";
    };
    const Row rows[] = {
        {"text value", claiming(DCM_TextValue, "UT"), L"truncated DICOM file: "},
        {"bulk value", claiming(DCM_EncapsulatedDocument, "OB"), L"truncated DICOM file: "},
        {"sequence", claiming(DCM_ReferencedImageSequence, "SQ"), L"truncated DICOM file: "},
        {"pixel data", claiming(DCM_PixelData, "OW"), L"truncated DICOM file: "},
        {"compressed data cut short",
         [&] {
             const std::string whole = joinDeflated(written);
             return whole.substr(0, written.meta.size() + (whole.size() - written.meta.size()) / 2);
         },
         L"truncated DICOM file: "},
        {"more to inflate than the component does",
         [&] {
             DcmFileFormat dicom;
             fillBasicDataSet(*dicom.getDataset());
             const std::vector<Uint8> pixels(65ul * 1024 * 1024, 0x5A);
             EXPECT_TRUE(dicom.getDataset()
                             ->putAndInsertUint8Array(DCM_PixelData, pixels.data(), pixels.size())
                             .good());
             writeFile(dicom, temp_.path() / "large.dcm", EXS_DeflatedLittleEndianExplicit);
             return readBytes(temp_.path() / "large.dcm");
         },
         L"cannot read ", L": deflated data set larger than the 64 MB the component inflates"},
    };
    auto object = createFileObject();
    int index = 0;
    for (const Row& row : rows) {
        const fs::path path = temp_.path() / ("claiming-" + std::to_string(index++) + ".dcm");
        writeBytes(path, row.make());
        const uint64_t peakBefore = peakVirtualMemory();
        const HRESULT hr = load(object.get(), path.string());
        EXPECT_LT(peakVirtualMemory() - peakBefore, 64u << 20) << row.name << ": memory asked for while loading";
        EXPECT_EQ(hr, E_FAIL) << row.name;
        EXPECT_EQ(failureDescription(hr, object.get(), toolkit::IID_IDicomFileObject),
                  row.prefix + widenAscii(path.string()) + row.suffix)
            << row.name;
    }
}

TEST_F(LoadFile, ReadsFilesFromAnotherWriter)
{
    struct Row {
        const char* file;
        std::wstring transferSyntax;
        std::wstring patientName;
        std::wstring rows;
        ULONG pixelDataLength;
    };
    const Row rows[] = {
        {"CT_small.dcm", L"1.2.840.10008.1.2.1", L"CompressedSamples^CT1", L"128", 32768},
        {"MR_small_implicit.dcm", L"1.2.840.10008.1.2", L"CompressedSamples^MR1", L"64", 8192},
        {"MR_small_bigendian.dcm", L"1.2.840.10008.1.2.2", L"CompressedSamples^MR1", L"64", 8192},
        {"image_dfl.dcm", L"1.2.840.10008.1.2.1.99", L"^^^^", L"512", 262144},
        {"JPEG2000.dcm", L"1.2.840.10008.1.2.4.91", L"CompressedSamples^NM1", L"1024", 266},
        {"JPEG2000-embedded-sequence-delimiter.dcm", L"1.2.840.10008.1.2.4.91", L"CompressedSamples^NM1", L"1024",
         266},
        {"MR_small_RLE.dcm", L"1.2.840.10008.1.2.5", L"CompressedSamples^MR1", L"64", 6128},
        {"meta_missing_tsyntax.dcm", L"<absent>", L"<absent>", L"<absent>", 2},
    };
    for (const Row& row : rows) {
        auto file = loaded(pydicomFile("test_files/" + std::string(row.file)));
        EXPECT_EQ(text(file.get(), tags::kTransferSyntaxUID), row.transferSyntax) << row.file;
        EXPECT_EQ(text(file.get(), tags::kPatientName), row.patientName) << row.file;
        EXPECT_EQ(text(file.get(), tags::kRows), row.rows) << row.file;
        EXPECT_EQ(valueLength(file.get(), tags::kPixelData), row.pixelDataLength) << row.file;
    }
    for (const char* bare : {"ExplVR_BigEndNoMeta.dcm", "ExplVR_LitEndNoMeta.dcm"}) {
        auto file = loaded(pydicomFile("test_files/" + std::string(bare)));
        EXPECT_EQ(text(file.get(), tags::kSOPInstanceUID), L"1.2.333.4444.5.6.7.8") << bare;
    }
}

TEST_F(LoadFile, FailuresNameTheFileAndSayWhatWentWrong)
{
    const fs::path basic = writeBasic("basic.dcm", EXS_LittleEndianExplicit);
    const std::string bytes = readBytes(basic);
    struct Row {
        const char* name;
        std::function<std::string()> make;  // writes what is needed, answers the path to load
        HRESULT code;
        std::wstring prefix;                // the description is prefix + path (+ suffix)
        std::wstring suffix = L"";
    };
    const auto file = [&](const std::string& name, const std::string& content) {
        writeBytes(temp_.path() / name, content);
        return (temp_.path() / name).string();
    };
    const Row rows[] = {
        {"missing file", [&] { return (temp_.path() / "missing.dcm").string(); },
         HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), L"file not found: "},
        {"missing folder, Windows form", [&] { return temp_.windowsPath("no-such-folder/x.dcm"); },
         HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), L"file not found: "},
        {"text", [&] { return file("notes.txt", "This is not DICOM, just some text long enough to look at."); },
         E_FAIL, L"not a DICOM file: "},
        {"empty", [&] { return file("empty.dcm", ""); }, E_FAIL, L"not a DICOM file: "},
        {"garbage from another writer", [&] { return pydicomFile("test_files/no_meta.dcm").string(); }, E_FAIL,
         L"not a DICOM file: "},
        {"cut inside the meta header", [&] { return file("cut-meta.dcm", bytes.substr(0, 150)); }, E_FAIL,
         L"truncated DICOM file: "},
        {"cut inside an element header", [&] { return file("cut-header.dcm", bytes.substr(0, bytes.size() - 52)); },
         E_FAIL, L"truncated DICOM file: "},
        {"cut inside the pixel data", [&] { return file("cut-pixels.dcm", bytes.substr(0, bytes.size() - 10)); },
         E_FAIL, L"truncated DICOM file: "},
        {"truncated pixel data from another writer",
         [&] { return pydicomFile("test_files/MR_truncated.dcm").string(); }, E_FAIL, L"truncated DICOM file: "},
        {"truncated sequence from another writer",
         [&] { return pydicomFile("test_files/rtplan_truncated.dcm").string(); }, E_FAIL,
         L"truncated DICOM file: "},
        {"a folder", [&] { return temp_.path().string(); }, E_FAIL, L"cannot read ", L": it is a folder"},
        {"a FIFO",
         [&] {
             const fs::path fifo = temp_.path() / "fifo";
             if (::mkfifo(fifo.c_str(), 0600) != 0)
                 ADD_FAILURE() << "mkfifo";
             return fifo.string();
         },
         E_FAIL, L"cannot read ", L": not a regular file"},
    };
    auto object = createFileObject();
    for (const Row& row : rows) {
        const std::string path = row.make();
        const HRESULT hr = load(object.get(), path);
        EXPECT_EQ(hr, row.code) << row.name;
        EXPECT_EQ(failureDescription(hr, object.get(), toolkit::IID_IDicomFileObject),
                  row.prefix + widenAscii(path) + row.suffix)
            << row.name;
        ComPtr<IDicomElement> none;
        EXPECT_EQ(object->FindElement(tags::kPatientName, none.receive()), E_UNEXPECTED) << row.name << ": no file loaded";
    }
}

// DCMTK's parser throws std::out_of_range on this file (a directory record
// whose type value it cannot check), found by fuzzing. The load fails like
// any other malformed file, with no exception leaving the component, and the
// object loads the next file.
TEST_F(LoadFile, AFileDcmtkThrowsOnFailsLikeAnyMalformedFile)
{
    const std::string path = (fs::path(DSP_FUZZ_REGRESSIONS) / "load_and_name/directory-record-dcmtk-throws-on.dcm");
    auto object = createFileObject();
    const HRESULT hr = load(object.get(), path);
    EXPECT_EQ(hr, E_FAIL);
    const std::wstring description = failureDescription(hr, object.get(), toolkit::IID_IDicomFileObject);
    EXPECT_TRUE(description.starts_with(L"cannot read " + widenAscii(path) + L": ")) << description;
    ComPtr<IDicomElement> none;
    EXPECT_EQ(object->FindElement(tags::kPatientName, none.receive()), E_UNEXPECTED);

    EXPECT_EQ(load(object.get(), writeBasic("basic.dcm", EXS_LittleEndianExplicit).string()), S_OK);
    ComPtr<IDicomElement> name;
    EXPECT_EQ(object->FindElement(tags::kPatientName, name.receive()), S_OK);
    EXPECT_NE(name.get(), nullptr);
}

TEST_F(LoadFile, TakesWindowsFormPathsAndLeavesTheFileClosed)
{
    const fs::path path = writeBasic("closed.dcm", EXS_LittleEndianExplicit);
    const fs::path truncated = temp_.path() / "truncated.dcm";
    const std::string bytes = readBytes(path);
    writeBytes(truncated, bytes.substr(0, bytes.size() - 10));
    auto file = createFileObject();
    EXPECT_EQ(load(file.get(), toWindowsPath(truncated.string())), E_FAIL);
    EXPECT_FALSE(heldOpen(truncated)) << "after a failed load";
    ASSERT_EQ(load(file.get(), toWindowsPath(path.string())), S_OK);
    EXPECT_FALSE(heldOpen(path)) << "after a load";

    // Everything the elements answer was read during LoadFile.
    fs::remove(path);
    EXPECT_EQ(text(file.get(), tags::kPatientName), widenAscii(kPatientName));
    EXPECT_EQ(valueLength(file.get(), tags::kPixelData), kRows * kColumns * 2);
}

TEST_F(LoadFile, LeavesLargePixelDataOnDisk)
{
    constexpr unsigned long kPixelBytes = 20ul * 1024 * 1024;
    DcmFileFormat dicom;
    DcmDataset& data = *dicom.getDataset();
    fillBasicDataSet(data);
    std::vector<Uint8> pixels(kPixelBytes, 0x5A);
    ASSERT_TRUE(data.putAndInsertUint8Array(DCM_PixelData, pixels.data(), kPixelBytes).good());
    const fs::path path = temp_.path() / "big.dcm";
    writeFile(dicom, path, EXS_LittleEndianExplicit);

    auto file = createFileObject();
    const uint64_t before = bytesRead();
    ASSERT_EQ(load(file.get(), path.string()), S_OK);
    const uint64_t read = bytesRead() - before;
    EXPECT_LT(read, 256u * 1024) << "LoadFile read the pixel data";
    EXPECT_EQ(valueLength(file.get(), tags::kPixelData), kPixelBytes);
    EXPECT_EQ(text(file.get(), tags::kPatientName), widenAscii(kPatientName));
}

TEST_F(LoadFile, LoadingAgainReplacesTheDataButNotThatOfEarlierElements)
{
    DcmFileFormat first;
    fillBasicDataSet(*first.getDataset());
    writeFile(first, temp_.path() / "first.dcm", EXS_LittleEndianExplicit);
    DcmFileFormat second;
    fillBasicDataSet(*second.getDataset());
    second.getDataset()->putAndInsertString(DCM_PatientName, "Roe^Richard");
    second.getDataset()->findAndDeleteElement(DCM_StudyInstanceUID);
    writeFile(second, temp_.path() / "second.dcm", EXS_LittleEndianImplicit);

    auto file = loaded(temp_.path() / "first.dcm");
    ComPtr<IDicomElement> early = element(file.get(), tags::kPatientName);
    ASSERT_EQ(load(file.get(), (temp_.path() / "second.dcm").string()), S_OK);
    EXPECT_EQ(text(file.get(), tags::kPatientName), L"Roe^Richard");
    EXPECT_FALSE(element(file.get(), tags::kStudyInstanceUID)) << "left over from the first file";
    Variant earlyValue;
    ASSERT_EQ(early->GetValue(&earlyValue), S_OK);
    EXPECT_EQ(std::wstring(earlyValue.bstrVal), widenAscii(kPatientName));

    // A failed load leaves no file loaded, rather than the previous one.
    EXPECT_EQ(load(file.get(), (temp_.path() / "missing.dcm").string()), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    ComPtr<IDicomElement> none;
    EXPECT_EQ(file->FindElement(tags::kPatientName, none.receive()), E_UNEXPECTED);
}

} // namespace
