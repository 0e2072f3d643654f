// Stopping dicom-host serve with a signal: no new associations, every object
// already received is filed or answered with a failure status, exit 0.
#include "dicom_objects.h"
#include "host_harness.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>

namespace {

TEST(ShutdownTest, StopsWhenIdleOnSigintAndSigterm)
{
    struct Row {
        const char* name;
        int signalNumber;
    };
    for (const Row& row : {Row{"SIGINT", SIGINT}, Row{"SIGTERM", SIGTERM}}) {
        HostInstallation installation;
        HostServer server(installation, HostSettings{});
        server.process().signal(row.signalNumber);
        EXPECT_EQ(server.process().wait(), 0) << row.name << "\n" << server.log();
        EXPECT_NE(server.log().find("stopped"), std::string::npos) << row.name << "\n" << server.log();
    }
}

TEST(ShutdownTest, LosesNoObjectWhenTerminatedDuringASend)
{
    constexpr int kObjects = 150;
    HostInstallation installation;
    TempDir sources;
    std::vector<std::filesystem::path> files;
    for (int i = 0; i < kObjects; ++i) {
        files.push_back(sources.path() / (std::to_string(i) + ".dcm"));
        writeObject(files.back(), freshObject());
    }
    HostSettings settings;
    HostServer server(installation, settings);

    ChildProcess client(storescuCommand(server.port(), settings.aeTitle, files), clientOptions());
    ASSERT_TRUE(server.waitForLog(": filed", 10)) << server.log();
    EXPECT_EQ(server.stop(), 0) << server.log();
    client.wait();

    // Every object the server read was answered, and every Success the
    // client saw stands for a file that is there.
    const std::string log = server.log();
    EXPECT_EQ(countOccurrences(log, "not received"), 0u) << log;
    std::vector<std::string> statuses = storeStatuses(client.output());
    const size_t successes = static_cast<size_t>(std::count(statuses.begin(), statuses.end(), "Success"));
    EXPECT_EQ(countOccurrences(log, ": filed"), successes) << log;
    size_t stored = 0;
    for (const auto& file : HostInstallation::filesUnder(installation.storage())) {
        EXPECT_NE(file.extension(), ".part") << file;
        stored += file.extension() == ".dcm";
    }
    EXPECT_EQ(stored, successes);
    EXPECT_NE(log.find("stopped"), std::string::npos) << log;
}

} // namespace
