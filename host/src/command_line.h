// dicom-host's command line: `dicom-host [options] serve` and
// `dicom-host [options] file [--calling AE] [--called AE] [--copy] PATH...`.
// Options may stand before or after the command word; "--" ends them.
#ifndef HOST_COMMAND_LINE_H
#define HOST_COMMAND_LINE_H

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace host {

enum class HostCommand { Serve, File };

struct HostOptions {
    HostCommand command = HostCommand::Serve;
    std::optional<std::filesystem::path> modulePath;
    std::optional<std::filesystem::path> incomingDir;
    std::optional<std::filesystem::path> certDir;
    unsigned maxAssociations = 8;
    std::string bindAddress; // empty: every interface
    bool verbose = false;

    // `file` only.
    std::string callingAeTitle = "DICOM-HOST-FILE";
    std::optional<std::string> calledAeTitle; // default: the module's AE title
    bool copy = false;
    std::vector<std::filesystem::path> paths;
};

struct CommandLine {
    std::optional<HostOptions> options; // empty on a usage error or --help
    bool helpRequested = false;
    std::string error;                   // the usage error, if any
};

CommandLine parseCommandLine(int argc, const char* const* argv);
std::string usageText();

} // namespace host

#endif // HOST_COMMAND_LINE_H
