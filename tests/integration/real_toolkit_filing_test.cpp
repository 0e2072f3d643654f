// Real DICOM files filed by the loaded module through the real toolkit
// component: the default layout, hostile values refused, and eight host
// threads filing at once without losing a file.
#include <gtest/gtest.h>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>

#include <atomic>
#include <thread>

#include "com_apartment.h"
#include "dicomkit/registration.h"
#include "loaded_module.h"
#include "platform/host_threads.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;

struct Identifiers {
    std::string study, series, instance;
};

// Writes a small CT-like DICOM file with fresh UIDs; answers its UIDs.
Identifiers writeDicomFile(const fs::path& path, const std::string& patientId = "PAT-1")
{
    char uid[100];
    Identifiers ids{dcmGenerateUniqueIdentifier(uid, SITE_STUDY_UID_ROOT),
                    dcmGenerateUniqueIdentifier(uid, SITE_SERIES_UID_ROOT),
                    dcmGenerateUniqueIdentifier(uid, SITE_INSTANCE_UID_ROOT)};
    DcmFileFormat file;
    DcmDataset* data = file.getDataset();
    data->putAndInsertString(DCM_SOPClassUID, UID_CTImageStorage);
    data->putAndInsertString(DCM_SOPInstanceUID, ids.instance.c_str());
    data->putAndInsertString(DCM_StudyInstanceUID, ids.study.c_str());
    data->putAndInsertString(DCM_SeriesInstanceUID, ids.series.c_str());
    data->putAndInsertString(DCM_PatientID, patientId.c_str());
    data->putAndInsertString(DCM_PatientName, "Doe^Jane");
    data->putAndInsertString(DCM_Modality, "CT");
    data->putAndInsertUint16(DCM_Rows, 16);
    data->putAndInsertUint16(DCM_Columns, 16);
    data->putAndInsertUint16(DCM_BitsAllocated, 16);
    std::vector<Uint16> pixels(16 * 16, 7);
    data->putAndInsertUint16Array(DCM_PixelData, pixels.data(), static_cast<unsigned long>(pixels.size()));
    const OFCondition written = file.saveFile(path.c_str(), EXS_LittleEndianExplicit);
    if (written.bad())
        throw std::runtime_error(std::string("cannot write test file: ") + written.text());
    return ids;
}

// The component loaded and registered, then the module, as dicom-host does.
class RealToolkit : public ::testing::Test {
protected:
    void SetUp() override
    {
        toolkitLibrary_ = LoadLibraryA(DSP_TOOLKIT_PATH);
        ASSERT_NE(toolkitLibrary_, nullptr);
        const auto registerClasses = reinterpret_cast<dicomkit::RegisterToolkitClassesFn>(
            reinterpret_cast<void (*)()>(GetProcAddress(toolkitLibrary_, dicomkit::kRegisterToolkitClassesExport)));
        ASSERT_NE(registerClasses, nullptr);
        ASSERT_EQ(registerClasses(), S_OK);
    }
    void TearDown() override
    {
        module_.reset();
        const auto revokeClasses = reinterpret_cast<dicomkit::RevokeToolkitClassesFn>(
            reinterpret_cast<void (*)()>(GetProcAddress(toolkitLibrary_, dicomkit::kRevokeToolkitClassesExport)));
        revokeClasses();
        FreeLibrary(toolkitLibrary_);
    }

    host::IDicomServerConfiguration* loadModule(const std::string& settings)
    {
        writeSettings(folder_.path(), "STORAGE_ROOT=" + folder_.windowsPath("root") + "\n" + settings);
        module_ = std::make_unique<LoadedModule>(folder_.path());
        return module_->configuration();
    }

    fs::path root() const { return folder_.path() / "root"; }

    TempDir folder_;
    ComApartment apartment_;
    HMODULE toolkitLibrary_ = nullptr;
    std::unique_ptr<LoadedModule> module_;
};

TEST_F(RealToolkit, FilesUnderTheDefaultLayout)
{
    host::IDicomServerConfiguration* config = loadModule("");
    const fs::path received = folder_.path() / "incoming.dcm";
    const Identifiers ids = writeDicomFile(received);
    EXPECT_TRUE(config->storeReceivedFile(toWindowsPath(received.string()), "MODALITY", "ARCHIVE"));
    EXPECT_TRUE(fs::is_regular_file(root() / ids.study / ids.series / (ids.instance + ".dcm")));
    EXPECT_FALSE(fs::exists(received));
}

TEST_F(RealToolkit, AHostilePatientIdIsRefusedAndTheFileKept)
{
    host::IDicomServerConfiguration* config = loadModule("FILENAME_TEMPLATE=PatientID\\SOPInstanceUID.dcm\n");
    const fs::path received = folder_.path() / "incoming.dcm";
    writeDicomFile(received, "..\\..\\escaped");
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(config->storeReceivedFile(toWindowsPath(received.string()), "MODALITY", "ARCHIVE"));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Unsafe file name in storeReceivedFile\n");
    EXPECT_TRUE(fs::exists(received));
    EXPECT_TRUE(fs::is_empty(root()));
}

TEST_F(RealToolkit, ANonDicomFileGivesTheComErrorLineAndStays)
{
    host::IDicomServerConfiguration* config = loadModule("");
    const fs::path received = folder_.path() / "notes.txt";
    writeTextFile(received, "this is not DICOM, just text long enough to look at");
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(config->storeReceivedFile(toWindowsPath(received.string()), "MODALITY", "ARCHIVE"));
    const std::string log = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(log.rfind("COM Error in buildFnameFromTemplate, code: ", 0), 0u) << log;
    EXPECT_NE(log.find("notes.txt"), std::string::npos) << "the description names the file: " << log;
    EXPECT_TRUE(fs::exists(received));
}

TEST_F(RealToolkit, EightHostThreadsFileAtOnceAndLoseNothing)
{
    host::IDicomServerConfiguration* config = loadModule("FILENAME_TEMPLATE=%SOURCE_AE_TITLE%\\SOPInstanceUID.dcm\n");
    constexpr int kThreads = 8;
    constexpr int kFilesPerThread = 25;
    std::vector<std::vector<std::string>> instances(kThreads);
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kFilesPerThread; ++i)
            instances[t].push_back(
                writeDicomFile(folder_.path() / ("rx-" + std::to_string(t) + "-" + std::to_string(i))).instance);

    std::atomic<int> filed{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            const ScopedThreadAnnouncement announced;  // the module gives the thread its apartment
            for (int i = 0; i < kFilesPerThread; ++i) {
                const fs::path received = folder_.path() / ("rx-" + std::to_string(t) + "-" + std::to_string(i));
                if (config->storeReceivedFile(toWindowsPath(received.string()), "AE" + std::to_string(t), "ARCHIVE"))
                    ++filed;
            }
        });
    for (auto& thread : threads)
        thread.join();

    EXPECT_EQ(filed, kThreads * kFilesPerThread);
    for (int t = 0; t < kThreads; ++t)
        for (const std::string& instance : instances[t])
            EXPECT_TRUE(fs::is_regular_file(root() / ("AE" + std::to_string(t)) / (instance + ".dcm"))) << instance;
}

} // namespace
