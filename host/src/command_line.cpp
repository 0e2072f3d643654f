#include "command_line.h"

#include <arpa/inet.h>

#include <charconv>
#include <functional>
#include <map>

namespace host {
namespace {

bool parseCount(const std::string& text, unsigned& value)
{
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && value > 0 && value <= 1000;
}

bool isIpv4Address(const std::string& text)
{
    in_addr address{};
    return inet_pton(AF_INET, text.c_str(), &address) == 1;
}

// DICOM AE titles: 1 to 16 characters, no backslash, no control characters.
bool isAeTitle(const std::string& text)
{
    if (text.empty() || text.size() > 16)
        return false;
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7f || c == '\\')
            return false;
    return true;
}

} // namespace

std::string usageText()
{
    return "usage: dicom-host [options] serve\n"
           "       dicom-host [options] file [--calling AE] [--called AE] [--copy] PATH...\n"
           "\n"
           "serve    receive DICOM objects (C-STORE, C-ECHO) and hand each to the module\n"
           "file     hand existing files, or every file under a folder, to the module\n"
           "\n"
           "options:\n"
           "  --module PATH          module to load (default: DicomServerIniFilePlugin.so\n"
           "                         beside dicom-host)\n"
           "  --incoming DIR         folder for received files (default: <storage root>/.incoming)\n"
           "  --max-associations N   associations served at once (default 8)\n"
           "  --bind ADDRESS         IPv4 address to listen on (default: every interface)\n"
           "  --cert-dir DIR         TLS certificates and keys (default: certs/ beside dicom-host)\n"
           "  -v, --verbose          more diagnostics\n"
           "  -h, --help             this text\n"
           "file options:\n"
           "  --calling AE           calling AE title handed to the module (default DICOM-HOST-FILE)\n"
           "  --called AE            called AE title handed to the module (default: the module's)\n"
           "  --copy                 hand over a copy in the incoming folder; originals stay\n";
}

CommandLine parseCommandLine(int argc, const char* const* argv)
{
    CommandLine result;
    HostOptions options;
    std::optional<std::string> commandWord;
    std::vector<std::string> operands;

    using Setter = std::function<std::string(const std::string&)>;
    const std::map<std::string, Setter> valued = {
        {"--module", [&](const std::string& v) { options.modulePath = v; return std::string(); }},
        {"--incoming", [&](const std::string& v) { options.incomingDir = v; return std::string(); }},
        {"--cert-dir", [&](const std::string& v) { options.certDir = v; return std::string(); }},
        {"--max-associations",
         [&](const std::string& v) {
             return parseCount(v, options.maxAssociations) ? std::string()
                                                           : "--max-associations wants a number from 1 to 1000";
         }},
        {"--bind",
         [&](const std::string& v) {
             options.bindAddress = v;
             return isIpv4Address(v) ? std::string() : "--bind wants an IPv4 address, not '" + v + "'";
         }},
        {"--calling",
         [&](const std::string& v) {
             options.callingAeTitle = v;
             return isAeTitle(v) ? std::string() : "--calling wants an AE title of 1 to 16 characters";
         }},
        {"--called",
         [&](const std::string& v) {
             options.calledAeTitle = v;
             return isAeTitle(v) ? std::string() : "--called wants an AE title of 1 to 16 characters";
         }},
    };

    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            if (!commandWord)
                commandWord = arg;
            else
                operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            result.helpRequested = true;
            return result;
        }
        if (arg == "-v" || arg == "--verbose") {
            options.verbose = true;
            continue;
        }
        if (arg == "--copy") {
            options.copy = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> value;
        if (auto eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        auto setter = valued.find(name);
        if (setter == valued.end()) {
            result.error = "unknown option " + name;
            return result;
        }
        if (!value) {
            if (i + 1 >= argc) {
                result.error = name + " wants a value";
                return result;
            }
            value = argv[++i];
        }
        if (std::string problem = setter->second(*value); !problem.empty()) {
            result.error = problem;
            return result;
        }
    }

    if (!commandWord) {
        result.error = "no command given";
        return result;
    }
    if (*commandWord == "serve") {
        options.command = HostCommand::Serve;
        if (!operands.empty()) {
            result.error = "serve takes no operands";
            return result;
        }
    } else if (*commandWord == "file") {
        options.command = HostCommand::File;
        if (operands.empty()) {
            result.error = "file wants at least one PATH";
            return result;
        }
        options.paths.assign(operands.begin(), operands.end());
    } else {
        result.error = "unknown command " + *commandWord;
        return result;
    }
    result.options = std::move(options);
    return result;
}

} // namespace host
