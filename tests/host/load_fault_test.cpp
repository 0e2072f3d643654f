// dicom-host under load while its storage root fails: 2,000 objects sent by
// 8 storescu processes at once (8 associations), the storage root swapped for
// a plain file once filing is under way and swapped back once filing has
// failed for a while. Every object must be answered, each one answered
// Success must lie whole under its final name and each failure nowhere under
// the root; no file under the root may ever be seen partial; and the server
// must go on serving.
#include "dicom_objects.h"
#include "host_harness.h"

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdio.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;

constexpr int kAssociations = 8;
constexpr int kObjectsPerAssociation = 250;

// Swaps two paths in one step, so the storage root is never missing: either
// the real folder or the plain file stands under its name.
void exchange(const fs::path& a, const fs::path& b)
{
    EXPECT_EQ(renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE), 0)
        << a << " <-> " << b << ": " << std::strerror(errno);
}

// Each sent file with the status storescu reports for it (-v prints the
// file before its response).
std::map<std::string, std::string> statusesByFile(const std::string& output)
{
    std::map<std::string, std::string> statuses;
    std::istringstream lines(output);
    std::string line, current;
    const std::string sending = "Sending file: ";
    const std::string response = "Received Store Response (";
    while (std::getline(lines, line)) {
        if (const size_t at = line.find(sending); at != std::string::npos)
            current = line.substr(at + sending.size());
        else if (const size_t at = line.find(response); at != std::string::npos && !current.empty())
            statuses[current] = line.substr(at + response.size(), line.find(')', at) - at - response.size());
    }
    return statuses;
}

// Whether `file` is a whole DICOM object named after its own instance UID.
bool wholeUnderItsName(const fs::path& file)
{
    DcmFileFormat format;
    OFString instance;
    return format.loadFile(file.c_str()).good() &&
           format.getDataset()->findAndGetOFString(DCM_SOPInstanceUID, instance).good() &&
           file.filename() == std::string(instance.c_str()) + ".dcm";
}

class LoadFaultTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!toolkitBuilt())
            GTEST_SKIP() << "the toolkit component is not built";
        for (int a = 0; a < kAssociations; ++a) {
            for (int i = 0; i < kObjectsPerAssociation; ++i) {
                ObjectSpec spec = freshObject();
                if (i % 50 != 0) {  // series of 50 objects, as a modality sends them
                    spec.studyUid = specs_.back().studyUid;
                    spec.seriesUid = specs_.back().seriesUid;
                }
                const fs::path file = sources_.path() / ("a" + std::to_string(a) + "-" + std::to_string(i) + ".dcm");
                writeObject(file, spec);
                specs_.push_back(spec);
                files_[file.string()] = spec;
            }
        }
    }

    std::vector<fs::path> filesOf(int association) const
    {
        std::vector<fs::path> files;
        for (int i = 0; i < kObjectsPerAssociation; ++i)
            files.push_back(sources_.path() / ("a" + std::to_string(association) + "-" + std::to_string(i) + ".dcm"));
        return files;
    }

    HostInstallation installation_;
    TempDir sources_;
    std::vector<ObjectSpec> specs_;
    std::map<std::string, ObjectSpec> files_;
};

TEST_F(LoadFaultTest, EveryObjectIsFiledWholeOrAnsweredWithAFailureWhileTheRootComesAndGoes)
{
    const fs::path incoming = installation_.root() / "incoming";
    const fs::path plainFile = installation_.root() / "storage-as-a-file";
    fs::create_directories(incoming);
    writeTextFile(plainFile, "the storage root is not a folder now\n");
    HostSettings settings;
    HostServer server(installation_, settings, {"--incoming", incoming.string()});

    // Watches the root the whole time: every file under it must be whole
    // and named after its content. A file that cannot be read while the
    // root is swapped out says nothing; one read in full view does.
    std::atomic<bool> sending{true};
    std::atomic<int> swaps{0};  // odd from just before the root is swapped out to just after it is back
    std::atomic<int> partialSightings{0};
    std::string firstPartial;
    std::thread watcher([&] {
        while (sending) {
            std::error_code error;
            for (fs::recursive_directory_iterator it(installation_.storage(), error), end; !error && it != end;
                 it.increment(error)) {
                const int swapsBefore = swaps;
                if (!it->is_regular_file(error) || swapsBefore % 2 != 0 || wholeUnderItsName(it->path()))
                    continue;
                if (swaps == swapsBefore && partialSightings++ == 0)
                    firstPartial = it->path().string();
            }
        }
    });

    std::vector<std::unique_ptr<ChildProcess>> senders;
    for (int a = 0; a < kAssociations; ++a)
        senders.push_back(std::make_unique<ChildProcess>(
            storescuCommand(server.port(), settings.aeTitle, filesOf(a)), clientOptions()));

    // The fault, paced by what the server reports rather than by the clock.
    const bool filingUnderWay = server.waitForLog(": filed", 200);
    ++swaps;
    exchange(installation_.storage(), plainFile);
    const bool filingFailed = server.waitForLog(": failed", 20);
    exchange(installation_.storage(), plainFile);
    ++swaps;
    const size_t filedBeforeRestore = countOccurrences(server.log(), ": filed");

    std::map<std::string, std::string> statuses;
    for (auto& sender : senders) {
        sender->wait();
        const std::map<std::string, std::string> some = statusesByFile(sender->output());
        statuses.insert(some.begin(), some.end());
    }
    sending = false;
    watcher.join();

    ASSERT_TRUE(filingUnderWay) << server.log();
    ASSERT_TRUE(filingFailed) << "no object failed while the root was a plain file\n" << server.log();
    EXPECT_GT(countOccurrences(server.log(), ": filed"), filedBeforeRestore) << "filing resumed after the restore";
    EXPECT_EQ(partialSightings, 0) << "first seen: " << firstPartial;

    EXPECT_EQ(statuses.size(), files_.size()) << "every object is answered";
    size_t succeeded = 0, failed = 0;
    for (const auto& [file, spec] : files_) {
        const auto status = statuses.find(file);
        if (status == statuses.end())
            continue;
        const fs::path filed = installation_.filedPath(spec.studyUid, spec.seriesUid, spec.sopUid);
        if (status->second == "Success") {
            ++succeeded;
            EXPECT_TRUE(fs::is_regular_file(filed) && wholeUnderItsName(filed)) << file;
        } else {
            ++failed;
            EXPECT_FALSE(fs::exists(filed)) << file << " answered " << status->second;
        }
    }
    EXPECT_GT(failed, 0u);
    EXPECT_EQ(HostInstallation::filesUnder(installation_.storage()).size(), succeeded)
        << "nothing under the root but the objects answered Success";
    for (const fs::path& left : HostInstallation::filesUnder(incoming))
        EXPECT_NE(left.extension(), ".part") << left;

    // Still serving.
    ObjectSpec after = freshObject();
    const fs::path afterFile = sources_.path() / "after.dcm";
    writeObject(afterFile, after);
    const StoreResult sent = storeFiles(server.port(), settings.aeTitle, {afterFile});
    EXPECT_EQ(sent.statuses, std::vector<std::string>{"Success"}) << sent.output;
    EXPECT_TRUE(fs::is_regular_file(installation_.filedPath(after.studyUid, after.seriesUid, after.sopUid)));
    EXPECT_EQ(server.stop(), 0) << server.log();
}

} // namespace
