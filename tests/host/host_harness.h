// dicom-host end to end: a private installation in a temporary folder (bin/
// holding copies of dicom-host, the module, the toolkit component and
// libplatform.so, which find one another through $ORIGIN, and the module's
// DicomServer.ini beside them), the server as a child process on a free
// loopback port, and DCMTK's storescu and echoscu as its clients.
#ifndef TESTS_HOST_HOST_HARNESS_H
#define TESTS_HOST_HOST_HARNESS_H

#include "child_process.h"
#include "temp_dir.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// True when the build made the toolkit component; without it the module
// leaves every file in the incoming folder.
bool toolkitBuilt();

struct HostSettings {
    std::string aeTitle = "HOSTTEST";
    std::string filenameTemplate;  // empty: the module's default
    bool secureConnection = false;
    bool mutualAuthentication = false;
    std::string certSubjectName;
};

class HostInstallation {
public:
    HostInstallation();

    const std::filesystem::path& root() const { return dir_.path(); }
    std::filesystem::path bin() const { return root() / "bin"; }
    std::filesystem::path executable() const { return bin() / "dicom-host"; }
    std::filesystem::path storage() const { return root() / "storage"; }
    std::filesystem::path incoming() const { return storage() / ".incoming"; }
    std::filesystem::path certs() const { return bin() / "certs"; }

    void writeSettings(const HostSettings& settings, std::uint16_t port = 11112) const;

    // Where the module's default template files an object.
    std::filesystem::path filedPath(const std::string& studyUid, const std::string& seriesUid,
                                    const std::string& sopUid) const;
    // The regular files under `folder`, recursively.
    static std::vector<std::filesystem::path> filesUnder(const std::filesystem::path& folder);

private:
    TempDir dir_;
};

// `dicom-host serve --bind 127.0.0.1` on a free port, started and ready.
class HostServer {
public:
    HostServer(const HostInstallation& installation, const HostSettings& settings,
               const std::vector<std::string>& extraArgs = {}, const ChildOptions& options = {});

    std::uint16_t port() const { return port_; }
    ChildProcess& process() { return *process_; }
    std::string log() const { return process_->output(); }
    // Waits until `text` occurs `count` times in the log.
    bool waitForLog(const std::string& text, size_t count = 1);
    // SIGTERM, then the exit status.
    int stop();

private:
    std::uint16_t port_ = 0;
    std::unique_ptr<ChildProcess> process_;
};

std::uint16_t freeLoopbackPort();
// A plain TCP connection to 127.0.0.1:port that the caller closes.
int connectLoopback(std::uint16_t port);
size_t countOccurrences(const std::string& text, const std::string& what);

// storescu in one association, continuing after failures.
struct StoreResult {
    int exitStatus;
    std::vector<std::string> statuses; // "Success", "Refused: OutOfResources", ... in order
    std::string output;
};
std::vector<std::string> storescuCommand(std::uint16_t port, const std::string& calledAe,
                                         const std::vector<std::filesystem::path>& files,
                                         const std::vector<std::string>& extraArgs = {});
StoreResult storeFiles(std::uint16_t port, const std::string& calledAe, const std::vector<std::filesystem::path>& files,
                       const std::vector<std::string>& extraArgs = {});
std::vector<std::string> storeStatuses(const std::string& storescuOutput);
// Runs storescu-like tools with Nagle's algorithm off, as benchmarks do.
ChildOptions clientOptions();

#endif // TESTS_HOST_HOST_HARNESS_H
