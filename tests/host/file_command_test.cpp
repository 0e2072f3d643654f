// dicom-host file end to end: existing files and folders handed to the real
// module as if received, with and without --copy, and the exit status.
#include "dicom_objects.h"
#include "host_harness.h"

#include <dcmtk/dcmdata/dcdeftag.h>

#include <gtest/gtest.h>

namespace {

class FileCommandTest : public ::testing::Test {
protected:
    void SetUp() override { installation.writeSettings(settings); }

    ProcessResult runFile(std::vector<std::string> args)
    {
        args.insert(args.begin(), installation.executable().string());
        return runToEnd(args);
    }

    ObjectSpec writeSource(const std::filesystem::path& file)
    {
        ObjectSpec spec = freshObject();
        std::filesystem::create_directories(file.parent_path());
        writeObject(file, spec);
        return spec;
    }

    HostInstallation installation;
    HostSettings settings;
    TempDir sources;
};

TEST_F(FileCommandTest, CopyFilesEveryObjectUnderAFolderAndKeepsTheOriginals)
{
    if (!toolkitBuilt())
        GTEST_SKIP() << "the toolkit component is not built";
    const std::filesystem::path folder = sources.path() / "batch";
    ObjectSpec top = writeSource(folder / "top.dcm");
    ObjectSpec nested = writeSource(folder / "series" / "deeper" / "nested.dcm");
    writeTextFile(folder / "series" / "notes.txt", "not a DICOM file\n");
    const auto originals = HostInstallation::filesUnder(folder);

    ProcessResult run = runFile({"file", "--copy", folder.string()});

    EXPECT_EQ(run.exitStatus, 1) << run.output;
    EXPECT_NE(run.output.find("filed 2, failed 1"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("notes.txt: failed"), std::string::npos) << run.output;
    EXPECT_EQ(HostInstallation::filesUnder(folder), originals);
    for (const ObjectSpec& spec : {top, nested})
        EXPECT_TRUE(std::filesystem::is_regular_file(
            installation.filedPath(spec.studyUid, spec.seriesUid, spec.sopUid)))
            << spec.sopUid << "\n" << run.output;
}

TEST_F(FileCommandTest, FilesTheGivenFilesThemselvesWithoutCopy)
{
    if (!toolkitBuilt())
        GTEST_SKIP() << "the toolkit component is not built";
    const std::filesystem::path first = sources.path() / "first.dcm";
    const std::filesystem::path second = sources.path() / "second.dcm";
    ObjectSpec firstSpec = writeSource(first);
    ObjectSpec secondSpec = writeSource(second);

    ProcessResult run = runFile({"file", "--calling", "ARCHIVE", first.string(), second.string()});

    EXPECT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_NE(run.output.find("filed 2, failed 0"), std::string::npos) << run.output;
    EXPECT_FALSE(std::filesystem::exists(first));
    EXPECT_FALSE(std::filesystem::exists(second));
    for (const ObjectSpec& spec : {firstSpec, secondSpec})
        EXPECT_TRUE(std::filesystem::is_regular_file(
            installation.filedPath(spec.studyUid, spec.seriesUid, spec.sopUid)))
            << spec.sopUid << "\n" << run.output;
}

TEST_F(FileCommandTest, CountsAMissingPathAsFailed)
{
    ProcessResult run = runFile({"file", (sources.path() / "missing.dcm").string()});

    EXPECT_EQ(run.exitStatus, 1) << run.output;
    EXPECT_NE(run.output.find("not a file or folder"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("filed 0, failed 1"), std::string::npos) << run.output;
}

TEST_F(FileCommandTest, AnswersTwoForUsageErrors)
{
    struct Row {
        const char* name;
        std::vector<std::string> args;
    };
    const Row rows[] = {
        {"no command", {}},
        {"unknown command", {"archive"}},
        {"file without paths", {"file", "--copy"}},
        {"unknown option", {"file", "--bogus", "x.dcm"}},
        {"option without value", {"serve", "--module"}},
        {"zero associations", {"serve", "--max-associations", "0"}},
        {"calling AE title too long", {"file", "--calling", "SEVENTEEN-LETTERS", "x.dcm"}},
        {"bind to a host name", {"serve", "--bind", "localhost"}},
    };
    for (const Row& row : rows) {
        ProcessResult run = runFile(row.args);
        EXPECT_EQ(run.exitStatus, 2) << row.name << "\n" << run.output;
        EXPECT_NE(run.output.find("usage: dicom-host"), std::string::npos) << row.name;
    }
}

} // namespace
