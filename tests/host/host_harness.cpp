#include "host_harness.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <stdexcept>

namespace {

const std::filesystem::path kBuildBin = DSP_BIN_DIR;

} // namespace

bool toolkitBuilt() { return DSP_HAVE_TOOLKIT != 0; }

HostInstallation::HostInstallation()
{
    std::filesystem::create_directories(bin());
    std::vector<std::string> parts = {"dicom-host", "DicomServerIniFilePlugin.so", "libplatform.so"};
    if (toolkitBuilt())
        parts.push_back("DicomToolkit.so");
    for (const auto& part : parts)
        std::filesystem::copy_file(kBuildBin / part, bin() / part);
}

void HostInstallation::writeSettings(const HostSettings& settings, std::uint16_t port) const
{
    std::string text = "[DICOM_SERVER]\r\n";
    text += "AE_TITLE=" + settings.aeTitle + "\r\n";
    text += "PORT=" + std::to_string(port) + "\r\n";
    text += "STORAGE_ROOT=" + toWindowsPath(storage().string()) + "\r\n";
    if (!settings.filenameTemplate.empty())
        text += "FILENAME_TEMPLATE=" + settings.filenameTemplate + "\r\n";
    text += std::string("SECURE_CONNECTION=") + (settings.secureConnection ? "1" : "0") + "\r\n";
    text += std::string("MUTUAL_AUTHENTICATION=") + (settings.mutualAuthentication ? "1" : "0") + "\r\n";
    if (!settings.certSubjectName.empty())
        text += "CERT_SUBJECT_NAME=" + settings.certSubjectName + "\r\n";
    writeTextFile(bin() / "DicomServer.ini", text);
}

std::filesystem::path HostInstallation::filedPath(const std::string& studyUid, const std::string& seriesUid,
                                                  const std::string& sopUid) const
{
    return storage() / studyUid / seriesUid / (sopUid + ".dcm");
}

std::vector<std::filesystem::path> HostInstallation::filesUnder(const std::filesystem::path& folder)
{
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (std::filesystem::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file())
            files.push_back(it->path());
    std::sort(files.begin(), files.end());
    return files;
}

std::uint16_t freeLoopbackPort()
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("no free loopback port");
    close(fd);
    return ntohs(address.sin_port);
}

int connectLoopback(std::uint16_t port)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("cannot connect to port " + std::to_string(port));
    return fd;
}

HostServer::HostServer(const HostInstallation& installation, const HostSettings& settings,
                       const std::vector<std::string>& extraArgs, const ChildOptions& options)
{
    // A port found free may be taken before the server binds it; then the
    // server says so and ends, and another port is tried.
    ChildOptions serverOptions = options;
    // In sanitizer builds: DCMTK's own leaks are known by their DCMTK frames,
    // which only the slow unwinder finds below OpenSSL.
    const char* asanOptions = std::getenv("ASAN_OPTIONS");
    serverOptions.environment.push_back(std::string("ASAN_OPTIONS=") + (asanOptions ? asanOptions : "") +
                                        ":fast_unwind_on_malloc=0");
    serverOptions.environment.push_back("LSAN_OPTIONS=suppressions=" DSP_HOST_LSAN_SUPPRESSIONS);
    for (int attempt = 0; attempt < 5; ++attempt) {
        port_ = freeLoopbackPort();
        installation.writeSettings(settings, port_);
        std::vector<std::string> argv = {installation.executable().string(), "serve", "--bind", "127.0.0.1"};
        argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
        process_ = std::make_unique<ChildProcess>(argv, serverOptions);
        if (process_->waitForText("listening on"))
            return;
        if (process_->output().find("Address already in use") == std::string::npos)
            break;
    }
    throw std::runtime_error("dicom-host did not start:\n" + process_->output());
}

bool HostServer::waitForLog(const std::string& text, size_t count)
{
    return process_->waitForOutput([&](const std::string& out) { return countOccurrences(out, text) >= count; });
}

int HostServer::stop()
{
    process_->signal(SIGTERM);
    return process_->wait();
}

size_t countOccurrences(const std::string& text, const std::string& what)
{
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++count;
    return count;
}

ChildOptions clientOptions()
{
    ChildOptions options;
    options.environment = {"TCP_NODELAY=1"};
    return options;
}

std::vector<std::string> storescuCommand(std::uint16_t port, const std::string& calledAe,
                                         const std::vector<std::filesystem::path>& files,
                                         const std::vector<std::string>& extraArgs)
{
    std::vector<std::string> argv = {"storescu", "-v", "--no-halt", "-aet", "STORESCU", "-aec", calledAe};
    argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
    argv.push_back("127.0.0.1");
    argv.push_back(std::to_string(port));
    for (const auto& file : files)
        argv.push_back(file.string());
    return argv;
}

std::vector<std::string> storeStatuses(const std::string& storescuOutput)
{
    static const std::regex response(R"(Received Store Response \(([^)]*)\))");
    std::vector<std::string> statuses;
    for (std::sregex_iterator it(storescuOutput.begin(), storescuOutput.end(), response), end; it != end; ++it)
        statuses.push_back((*it)[1]);
    return statuses;
}

StoreResult storeFiles(std::uint16_t port, const std::string& calledAe, const std::vector<std::filesystem::path>& files,
                       const std::vector<std::string>& extraArgs)
{
    ProcessResult run = runToEnd(storescuCommand(port, calledAe, files, extraArgs), clientOptions());
    return {run.exitStatus, storeStatuses(run.output), run.output};
}
