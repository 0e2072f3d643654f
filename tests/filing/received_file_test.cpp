// fileReceivedFile on a real temporary file system: where the received file
// ends up on every path, and that hostile names and failed replacements lose
// nothing.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "filing/received_file.h"
#include "temp_dir.h"
#include "test_platform.h"

namespace {

namespace fs = std::filesystem;

class ReceivedFile : public ::testing::Test {
protected:
    ReceivedFile() : root_(folder_.path() / "root"), incoming_(folder_.path() / "incoming")
    {
        fs::create_directories(root_);
        fs::create_directories(incoming_);
    }

    // A received file with `content` in the incoming folder; its Windows path.
    std::string receive(const std::string& content, const std::string& name = "rx.dcm")
    {
        writeTextFile(incoming_ / name, content);
        return toWindowsPath((incoming_ / name).string());
    }

    bool file(const std::string& relativeName, const std::string& receivedPath)
    {
        ::testing::internal::CaptureStdout();
        const bool filed = filing::fileReceivedFile(toWindowsPath(root_.string()), relativeName, receivedPath);
        log_ = ::testing::internal::GetCapturedStdout();
        return filed;
    }

    bool rootIsEmpty() const { return fs::is_empty(root_); }

    TempDir folder_;
    fs::path root_;
    fs::path incoming_;
    std::string log_;
};

TEST_F(ReceivedFile, MovesIntoItsFoldersUnderTheRoot)
{
    const struct {
        const char* name;
        std::string relativeName;
        fs::path expected;  // under the root
    } rows[] = {
        {"three levels", "1.2\\3.4\\5.6.dcm", "1.2/3.4/5.6.dcm"},
        {"no backslash: straight into the root", "flat.dcm", "flat.dcm"},
        {"doubled backslashes", "a\\\\b.dcm", "a/b.dcm"},
        {"leading backslash", "\\lead.dcm", "lead.dcm"},
        {"multi-valued value made a level", "A\\B .dcm", "A/B .dcm"},
    };
    for (const auto& row : rows) {
        const std::string received = receive(row.name);
        EXPECT_TRUE(file(row.relativeName, received)) << row.name;
        EXPECT_EQ(readTextFile(root_ / row.expected), row.name) << row.name;
        EXPECT_FALSE(fs::exists(incoming_ / "rx.dcm")) << row.name << ": a move, not a copy";
        EXPECT_EQ(log_, "") << row.name;
    }
}

TEST_F(ReceivedFile, ReplacesAFileOfTheSameName)
{
    EXPECT_TRUE(file("same.dcm", receive("first")));
    EXPECT_TRUE(file("same.dcm", receive("second")));
    EXPECT_EQ(readTextFile(root_ / "same.dcm"), "second");
}

TEST_F(ReceivedFile, AnEmptyNameLeavesTheReceivedFileInPlace)
{
    const std::string received = receive("keep");
    EXPECT_FALSE(file("", received));
    EXPECT_EQ(readTextFile(incoming_ / "rx.dcm"), "keep");
    EXPECT_TRUE(rootIsEmpty());
    EXPECT_EQ(log_, "");
}

TEST_F(ReceivedFile, HostileNamesAreRefusedAndLoseNothing)
{
    const char* hostile[] = {"..\\..\\somewhere\\x.dcm", "..\\x.dcm", "a\\..\\..\\x.dcm", ".\\x.dcm",
                             "a\\...\\x.dcm",            "a\\.. \\x.dcm", "a/../../x.dcm"};
    for (const char* name : hostile) {
        const std::string received = receive(name);
        EXPECT_FALSE(file(name, received)) << name;
        EXPECT_EQ(log_, "Unsafe file name in storeReceivedFile\n") << name;
        EXPECT_EQ(readTextFile(incoming_ / "rx.dcm"), name) << name << ": the received file stays";
        EXPECT_TRUE(rootIsEmpty()) << name << ": nothing created";
        EXPECT_FALSE(fs::exists(folder_.path() / "somewhere")) << name;
        EXPECT_FALSE(fs::exists(folder_.path() / "x.dcm")) << name;
    }
}

TEST_F(ReceivedFile, AReadOnlyFileAtTheFullPathIsKeptAndTheReceivedFileDeleted)
{
    if (const std::string wine = test_platform::wineVersion(); !wine.empty())
        GTEST_SKIP() << "wine " << wine << " replaces a read-only file; Windows refuses with ERROR_ACCESS_DENIED";
    writeTextFile(root_ / "locked.dcm", "earlier");
    fs::permissions(root_ / "locked.dcm", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const std::string received = receive("later");
    EXPECT_FALSE(file("locked.dcm", received));
    EXPECT_EQ(readTextFile(root_ / "locked.dcm"), "earlier") << "a failed replacement keeps the earlier file";
    EXPECT_FALSE(fs::exists(incoming_ / "rx.dcm"));
}

TEST_F(ReceivedFile, AFolderAtTheFullPathFailsTheMove)
{
    fs::create_directories(root_ / "taken.dcm" / "inner");
    const std::string received = receive("x");
    EXPECT_FALSE(file("taken.dcm", received));
    EXPECT_TRUE(fs::is_directory(root_ / "taken.dcm" / "inner"));
    EXPECT_FALSE(fs::exists(incoming_ / "rx.dcm"));
}

TEST_F(ReceivedFile, AMoveThatFailsDeletesTheReceivedFile)
{
    // A folder that cannot be made: a plain file stands where it would be.
    writeTextFile(root_ / "blocker", "");
    const std::string received = receive("x");
    EXPECT_FALSE(file("blocker\\x.dcm", received));
    EXPECT_FALSE(fs::exists(incoming_ / "rx.dcm"));
    EXPECT_EQ(readTextFile(root_ / "blocker"), "");
}

TEST_F(ReceivedFile, AnEmptyStorageRootJoinsWithALeadingBackslash)
{
    // The full path "\<relative name>" is root-relative: name a folder of the
    // test's own through it, from a current folder on the same drive.
    const fs::path previous = fs::current_path();
    fs::current_path(folder_.path());
    const std::string relative = toWindowsPath(root_.relative_path().string()) + "\\empty-root.dcm";
    const std::string received = receive("x");
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(filing::fileReceivedFile("", relative, received));
    ::testing::internal::GetCapturedStdout();
    fs::current_path(previous);
    EXPECT_EQ(readTextFile(root_ / "empty-root.dcm"), "x");
}

TEST_F(ReceivedFile, MovesAcrossFileSystems)
{
    if (!fs::is_directory("/dev/shm"))
        GTEST_SKIP() << "no /dev/shm";
    TempDir other("/dev/shm");
    struct stat a {}, b {};
    stat(root_.string().c_str(), &a);
    stat(other.path().string().c_str(), &b);
    if (a.st_dev == b.st_dev)
        GTEST_SKIP() << "/dev/shm is on the same file system as " << root_;
    writeTextFile(other.path() / "rx.dcm", "across");
    writeTextFile(root_ / "across.dcm", "earlier");
    EXPECT_TRUE(file("across.dcm", toWindowsPath((other.path() / "rx.dcm").string())));
    EXPECT_EQ(readTextFile(root_ / "across.dcm"), "across");
    EXPECT_FALSE(fs::exists(other.path() / "rx.dcm"));
    // No temporary file is left beside the filed one.
    EXPECT_EQ(std::distance(fs::directory_iterator(root_), fs::directory_iterator()), 1);
}

} // namespace
