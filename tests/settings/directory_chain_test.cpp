// createDirectoryChain: the exact CreateDirectoryA attempts and the answer.
#include <gtest/gtest.h>

#include "settings/directory_chain.h"
#include "temp_dir.h"
#include "test_platform.h"

namespace {

// Records every CreateDirectoryA attempt; lets it go on only for relative
// paths, so rows that name a root or a drive create nothing there.
class RecordedAttempts {
public:
    RecordedAttempts() { test_platform::observeCreateDirectory(&RecordedAttempts::observe, this); }
    ~RecordedAttempts() { test_platform::observeCreateDirectory(nullptr, nullptr); }
    std::vector<std::string> attempts;

private:
    static BOOL observe(const char* path, void* context)
    {
        static_cast<RecordedAttempts*>(context)->attempts.emplace_back(path);
        const bool rooted = path[0] == '\\' || path[0] == '/' || (path[0] != '\0' && path[1] == ':');
        return !rooted;
    }
};

// Runs each test in a fresh working folder, where relative rows create their
// folders.
class DirectoryChain : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(folder_.path());
    }
    void TearDown() override { std::filesystem::current_path(previous_); }

    TempDir folder_;
    std::filesystem::path previous_;
};

TEST_F(DirectoryChain, AttemptsEveryAncestorThenThePath)
{
    const struct {
        const char* name;
        std::string path;
        std::vector<std::string> attempts;
    } rows[] = {
        {"drive path", "D:\\Images\\CT", {"D:\\", "D:\\Images\\", "D:\\Images\\CT"}},
        {"root-relative default root", "\\KORVEL", {"\\", "\\KORVEL"}},
        {"trailing backslash", "D:\\Images\\", {"D:\\", "D:\\Images\\", "D:\\Images\\"}},
        {"doubled backslash", "D:\\Images\\\\CT", {"D:\\", "D:\\Images\\", "D:\\Images\\\\", "D:\\Images\\\\CT"}},
        {"two leading backslashes",
         "\\\\srv\\share\\in",
         {"\\", "\\\\", "\\\\srv\\", "\\\\srv\\share\\", "\\\\srv\\share\\in"}},
        {"no backslash", "Images", {"Images"}},
        {"forward slashes mark no ancestor", "D:/Images/CT", {"D:/Images/CT"}},
        {"empty", "", {""}},
    };
    for (const auto& row : rows) {
        RecordedAttempts recorded;
        settings::createDirectoryChain(row.path);
        EXPECT_EQ(recorded.attempts, row.attempts) << row.name;
    }
}

TEST_F(DirectoryChain, AnswersByTheLastAttempt)
{
    EXPECT_TRUE(settings::createDirectoryChain("a\\b\\c"));
    EXPECT_TRUE(std::filesystem::is_directory("a/b/c"));
    // Everything exists: every attempt fails, the last with 183.
    EXPECT_TRUE(settings::createDirectoryChain("a\\b\\c"));
    // The trailing backslash makes the last folder twice; the second says 183.
    EXPECT_TRUE(settings::createDirectoryChain("t\\u\\"));
    EXPECT_TRUE(std::filesystem::is_directory("t/u"));
    // Forward slashes with a missing parent: the one attempt fails.
    EXPECT_FALSE(settings::createDirectoryChain("x/y/z"));
    // A middle folder that is a file cannot be made.
    writeTextFile("blocker", "");
    EXPECT_FALSE(settings::createDirectoryChain("blocker\\inner"));
    EXPECT_FALSE(settings::createDirectoryChain(""));
}

TEST_F(DirectoryChain, AFileWithThePathsNameCountsAsExisting)
{
    // Windows answers 183 for any existing name, a file included.
    writeTextFile("plain", "");
    EXPECT_TRUE(settings::createDirectoryChain("plain"));
}

} // namespace
