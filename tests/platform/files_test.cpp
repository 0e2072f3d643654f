// File functions on the real file system: Windows error codes, the
// read-only attribute (also for root), replace and no-replace moves, moves
// across file systems (/tmp to /dev/shm), and the CreateDirectoryA observer.
#include <platform/testing.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string windowsForm(std::string path)
{
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string makeScratchFolder(const char* under)
{
    std::string folderTemplate = std::string(under) + "/files-test-XXXXXX";
    return mkdtemp(folderTemplate.data()) ? folderTemplate : std::string();
}

void writeFile(const std::string& path, const std::string& content, mode_t mode = 0644)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    chmod(path.c_str(), mode);
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// A scratch folder holding "file" (writable), "readonly" (mode 0444) and
// "folder" (holding "inner"). Paths given to the platform are Windows form.
class FilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = makeScratchFolder("/tmp");
        ASSERT_FALSE(root.empty());
        writeFile(root + "/file", "file content");
        writeFile(root + "/readonly", "read-only content", 0444);
        fs::create_directory(root + "/folder");
        writeFile(root + "/folder/inner", "inner content");
    }
    void TearDown() override
    {
        PlatformObserveCreateDirectory(nullptr, nullptr);
        fs::remove_all(root);
    }

public: // for the rows of a table, which are not members
    std::string at(const std::string& relative) const { return windowsForm(root + "/" + relative); }

    std::string root;
};

} // namespace

TEST_F(FilesTest, FailuresSetWindowsCodes)
{
    struct Row {
        const char* name;
        BOOL (*call)(const FilesTest& t);
        DWORD code;
    };
    const Row rows[] = {
        {"create over a folder", [](const FilesTest& t) { return CreateDirectoryA(t.at("folder").c_str(), nullptr); },
         ERROR_ALREADY_EXISTS},
        {"create over a file", [](const FilesTest& t) { return CreateDirectoryA(t.at("file").c_str(), nullptr); },
         ERROR_ALREADY_EXISTS},
        {"create in a missing folder",
         [](const FilesTest& t) { return CreateDirectoryA(t.at("missing/new").c_str(), nullptr); },
         ERROR_PATH_NOT_FOUND},
        {"create empty text", [](const FilesTest&) { return CreateDirectoryA("", nullptr); }, ERROR_PATH_NOT_FOUND},
        {"create too long a name",
         [](const FilesTest& t) { return CreateDirectoryA(t.at(std::string(300, 'n')).c_str(), nullptr); },
         ERROR_FILENAME_EXCED_RANGE},
        {"delete missing file", [](const FilesTest& t) { return DeleteFileA(t.at("missing").c_str()); },
         ERROR_FILE_NOT_FOUND},
        {"delete in a missing folder", [](const FilesTest& t) { return DeleteFileA(t.at("missing/x").c_str()); },
         ERROR_PATH_NOT_FOUND},
        {"delete through a file", [](const FilesTest& t) { return DeleteFileA(t.at("file/x").c_str()); },
         ERROR_PATH_NOT_FOUND},
        {"delete a folder", [](const FilesTest& t) { return DeleteFileA(t.at("folder").c_str()); },
         ERROR_ACCESS_DENIED},
        {"delete a read-only file", [](const FilesTest& t) { return DeleteFileA(t.at("readonly").c_str()); },
         ERROR_ACCESS_DENIED},
        {"move missing source",
         [](const FilesTest& t) { return MoveFileExA(t.at("missing").c_str(), t.at("new").c_str(), 0); },
         ERROR_FILE_NOT_FOUND},
        {"move from a missing folder",
         [](const FilesTest& t) { return MoveFileExA(t.at("missing/x").c_str(), t.at("new").c_str(), 0); },
         ERROR_PATH_NOT_FOUND},
        {"move into a missing folder",
         [](const FilesTest& t) { return MoveFileExA(t.at("file").c_str(), t.at("missing/new").c_str(), 0); },
         ERROR_PATH_NOT_FOUND},
        {"move onto a file", [](const FilesTest& t) { return MoveFileA(t.at("file").c_str(), t.at("readonly").c_str()); },
         ERROR_ALREADY_EXISTS},
        {"move onto a folder",
         [](const FilesTest& t) { return MoveFileExA(t.at("file").c_str(), t.at("folder").c_str(), 0); },
         ERROR_ALREADY_EXISTS},
        {"move a folder onto a folder",
         [](const FilesTest& t) {
             fs::create_directory(t.root + "/empty");
             return MoveFileExA(t.at("empty").c_str(), t.at("folder").c_str(), 0);
         },
         ERROR_ALREADY_EXISTS},
        {"replace a folder",
         [](const FilesTest& t) {
             return MoveFileExA(t.at("file").c_str(), t.at("folder").c_str(), MOVEFILE_REPLACE_EXISTING);
         },
         ERROR_ACCESS_DENIED},
        {"replace a read-only file",
         [](const FilesTest& t) {
             return MoveFileExA(t.at("file").c_str(), t.at("readonly").c_str(), MOVEFILE_REPLACE_EXISTING);
         },
         ERROR_ACCESS_DENIED},
        {"replace with a folder",
         [](const FilesTest& t) {
             return MoveFileExA(t.at("folder").c_str(), t.at("file").c_str(), MOVEFILE_REPLACE_EXISTING);
         },
         ERROR_ACCESS_DENIED},
        {"unknown move flag",
         [](const FilesTest& t) { return MoveFileExA(t.at("file").c_str(), t.at("new").c_str(), 0x4); },
         ERROR_INVALID_PARAMETER},
    };
    for (const Row& row : rows) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(row.call(*this)) << row.name;
        EXPECT_EQ(GetLastError(), row.code) << row.name;
    }
    EXPECT_EQ(readFile(root + "/file"), "file content") << "failed moves leave the source";
    EXPECT_EQ(readFile(root + "/readonly"), "read-only content") << "failed moves leave the target";
    EXPECT_EQ(readFile(root + "/folder/inner"), "inner content");
}

TEST_F(FilesTest, SuccessesActAndLeaveTheLastError)
{
    SetLastError(1234);
    EXPECT_TRUE(CreateDirectoryA(at("made").c_str(), nullptr));
    EXPECT_TRUE(CreateDirectoryA((at("made") + "\\\\nested\\").c_str(), nullptr)) << "doubled and trailing '\\'";
    EXPECT_TRUE(fs::is_directory(root + "/made/nested"));

    EXPECT_TRUE(MoveFileExA(at("file").c_str(), at("made/moved").c_str(), 0));
    EXPECT_EQ(readFile(root + "/made/moved"), "file content");
    EXPECT_FALSE(fs::exists(root + "/file"));

    writeFile(root + "/newer", "newer content");
    EXPECT_TRUE(MoveFileExA(at("newer").c_str(), at("made/moved").c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    EXPECT_EQ(readFile(root + "/made/moved"), "newer content");

    EXPECT_TRUE(MoveFileA(at("folder").c_str(), at("renamed").c_str()));
    EXPECT_EQ(readFile(root + "/renamed/inner"), "inner content");

    EXPECT_TRUE(DeleteFileA(at("made/moved").c_str()));
    EXPECT_FALSE(fs::exists(root + "/made/moved"));
    EXPECT_EQ(GetLastError(), 1234u);
}

TEST_F(FilesTest, CreateDirectoryObserverSeesTheArgumentAndMayVeto)
{
    struct Seen {
        std::vector<std::string> paths;
        BOOL answer = TRUE;
    } seen;
    PlatformObserveCreateDirectory(
        [](const char* path, void* context) {
            Seen* s = static_cast<Seen*>(context);
            s->paths.push_back(path ? path : "(null)");
            return s->answer;
        },
        &seen);

    const std::string allowed = at("allowed");
    EXPECT_TRUE(CreateDirectoryA(allowed.c_str(), nullptr));
    seen.answer = FALSE;
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(CreateDirectoryA("\\KORVEL", nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(fs::exists("/KORVEL"));

    PlatformObserveCreateDirectory(nullptr, nullptr);
    EXPECT_TRUE(CreateDirectoryA(at("unobserved").c_str(), nullptr));
    EXPECT_EQ(seen.paths, (std::vector<std::string>{allowed, "\\KORVEL"}));
}

// Across file systems: a scratch folder under /tmp and one under /dev/shm.
class CrossDeviceMoveTest : public FilesTest {
protected:
    void SetUp() override
    {
        FilesTest::SetUp();
        struct stat tmp, shm;
        if (stat("/tmp", &tmp) != 0 || stat("/dev/shm", &shm) != 0 || tmp.st_dev == shm.st_dev)
            GTEST_SKIP() << "/tmp and /dev/shm are not different file systems here";
        other = makeScratchFolder("/dev/shm");
        ASSERT_FALSE(other.empty());
    }
    void TearDown() override
    {
        if (!other.empty())
            fs::remove_all(other);
        FilesTest::TearDown();
    }

    std::string there(const std::string& relative) const { return windowsForm(other + "/" + relative); }

    std::string other;
};

TEST_F(CrossDeviceMoveTest, CopiesWholeFilesAndLeavesNoTrace)
{
    writeFile(root + "/image.dcm", std::string(300000, 'p'), 0640);
    ASSERT_TRUE(MoveFileA(at("image.dcm").c_str(), there("image.dcm").c_str()));
    EXPECT_EQ(readFile(other + "/image.dcm"), std::string(300000, 'p'));
    EXPECT_EQ(fs::status(other + "/image.dcm").permissions(), fs::perms(0640));
    EXPECT_FALSE(fs::exists(root + "/image.dcm"));

    writeFile(root + "/second", "second content");
    writeFile(other + "/kept", "kept content");
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(MoveFileA(at("second").c_str(), there("kept").c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(readFile(other + "/kept"), "kept content");
    EXPECT_EQ(readFile(root + "/second"), "second content");

    ASSERT_TRUE(MoveFileExA(at("second").c_str(), there("kept").c_str(),
                            MOVEFILE_COPY_ALLOWED | MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(readFile(other + "/kept"), "second content");
    EXPECT_FALSE(fs::exists(root + "/second"));
    EXPECT_EQ(namesIn(other), (std::vector<std::string>{"image.dcm", "kept"})) << "no temporary file left";
}

TEST_F(CrossDeviceMoveTest, RefusesWhatCannotBeCopied)
{
    struct Row {
        const char* name;
        const char* source;
        const char* target;
        DWORD flags;
        DWORD code;
    };
    const Row rows[] = {
        {"copying not allowed", "file", "file", 0, ERROR_NOT_SAME_DEVICE},
        {"a folder", "folder", "folder", MOVEFILE_COPY_ALLOWED, ERROR_NOT_SAME_DEVICE},
        {"into a missing folder", "file", "missing/file", MOVEFILE_COPY_ALLOWED, ERROR_PATH_NOT_FOUND},
        {"onto a read-only file", "file", "readonly", MOVEFILE_COPY_ALLOWED | MOVEFILE_REPLACE_EXISTING,
         ERROR_ACCESS_DENIED},
    };
    writeFile(other + "/readonly", "theirs", 0444);
    for (const Row& row : rows) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(MoveFileExA(at(row.source).c_str(), there(row.target).c_str(), row.flags)) << row.name;
        EXPECT_EQ(GetLastError(), row.code) << row.name;
    }
    EXPECT_EQ(readFile(root + "/file"), "file content");
    EXPECT_EQ(readFile(other + "/readonly"), "theirs");
    EXPECT_EQ(namesIn(other), std::vector<std::string>{"readonly"}) << "no temporary file left";
}
