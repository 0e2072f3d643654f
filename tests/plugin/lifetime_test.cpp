// The module's lifetime as a host drives it: one object for every call,
// destroyed at process detach, COM apartments for every thread, and the
// toolkit probe's answers.
#include "module_fixture.h"

#include "dicom_tags.h"

#include <thread>

namespace {

using namespace tags;

namespace fs = std::filesystem;

TEST_F(ModuleTest, OneObjectForEveryCallAndSettingsReadOnce)
{
    writeSettings("AE_TITLE=FIRST\n");
    load();
    host::IDicomServerConfiguration* first = configuration();
    writeSettings("AE_TITLE=EDITED\n");
    EXPECT_EQ(configuration(), first);
    EXPECT_STREQ(first->getAeTitle(), "FIRST") << "an edit while loaded changes no answer";

    unload();
    load();
    EXPECT_STREQ(configuration()->getAeTitle(), "EDITED") << "the next load reads the file anew";
}

TEST_F(ModuleTest, ApartmentsOfTheLoadingThreadAndTheProbeAreBalanced)
{
    const ULONG before = test_platform::apartmentDepth();
    load();
    EXPECT_EQ(test_platform::apartmentDepth(), before + 1) << "process attach initialises COM";
    configuration();
    EXPECT_EQ(test_platform::apartmentDepth(), before + 1) << "probe and compilation undo their own";
    unload();
    EXPECT_EQ(test_platform::apartmentDepth(), before) << "process detach leaves COM once";
}

TEST_F(ModuleTest, ProcessDetachBeforeAnyCallDestroysNothing)
{
    const ULONG before = test_platform::apartmentDepth();
    load();
    unload();
    EXPECT_EQ(test_platform::apartmentDepth(), before);
    EXPECT_EQ(toolkit_->filesCreated(), 0);
}

TEST_F(ModuleTest, HostThreadsGetAnApartmentForTheirLifetime)
{
    load();
    const ULONG heldAfterEnd =
        test_platform::runHostThread([] { EXPECT_EQ(test_platform::apartmentDepth(), 1u); });
    EXPECT_EQ(heldAfterEnd, 0u);
}

TEST_F(ModuleTest, FilesThroughTheToolkit)
{
    const std::string root = windowsPath("root");
    writeSettings("STORAGE_ROOT=" + root + "\nFILENAME_TEMPLATE=%SOURCE_AE_TITLE%\\SOPInstanceUID.dcm\n");
    toolkit_->dictionary.tags = {{"SOPInstanceUID", kSOPInstanceUID}};
    toolkit_->file.attributes = {{kSOPInstanceUID, fakes::textAttribute(L"1.2.3")}};
    load();
    writeTextFile(hostFolder_.path() / "rx", "object");
    EXPECT_TRUE(configuration()->storeReceivedFile(windowsPath("rx"), "MODALITY", "ARCHIVE"));
    EXPECT_EQ(readTextFile(hostFolder_.path() / "root" / "MODALITY" / "1.2.3.dcm"), "object");
}

TEST_F(ModuleTest, WithoutAToolkitEveryFileIsLeftWhereItIsAndAnsweredTrue)
{
    toolkit_.reset();
    writeSettings("STORAGE_ROOT=" + windowsPath("root\\deep") + "\n");
    load();
    writeTextFile(hostFolder_.path() / "rx", "object");
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(configuration()->storeReceivedFile(windowsPath("rx"), "A", "B"));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(readTextFile(hostFolder_.path() / "rx"), "object");
    EXPECT_TRUE(fs::is_empty(hostFolder_.path() / "root" / "deep")) << "the root's chain is still created";
}

TEST_F(ModuleTest, ACreationAnsweringNoInterfaceCountsAsAvailable)
{
    toolkit_->fileCreation = E_NOINTERFACE;
    toolkit_->registerClasses();
    writeSettings("STORAGE_ROOT=" + windowsPath("root") + "\n");
    load();
    writeTextFile(hostFolder_.path() / "rx", "object");
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(configuration()->storeReceivedFile(windowsPath("rx"), "A", "B"));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "COM Error in buildFnameFromTemplate, code: 80004003, Description: \n");
    EXPECT_EQ(readTextFile(hostFolder_.path() / "rx"), "object") << "an empty name leaves the file";
}

TEST_F(ModuleTest, ConstructedOnAMultithreadedThreadTheToolkitIsUnavailable)
{
    toolkit_->dictionary.tags = {{"SOPInstanceUID", kSOPInstanceUID}};
    writeTextFile(hostFolder_.path() / "rx", "object");
    std::thread([&] {
        ComApartment multithreaded(COINIT_MULTITHREADED);
        load();
        EXPECT_TRUE(configuration()->storeReceivedFile(windowsPath("rx"), "A", "B"));
        EXPECT_EQ(test_platform::apartmentDepth(), 1u) << "nothing undone that did not succeed";
        unload();
    }).join();
    EXPECT_EQ(readTextFile(hostFolder_.path() / "rx"), "object");
    EXPECT_EQ(toolkit_->filesCreated(), 0);
    EXPECT_TRUE(toolkit_->dictionary.lookups.empty());
}

TEST_F(ModuleTest, AHostThatDestroysTheObjectItselfIsNotDestroyedTwice)
{
    load();
    delete configuration();
    unload();  // process detach finds nothing left to destroy
    SUCCEED();
}

} // namespace
