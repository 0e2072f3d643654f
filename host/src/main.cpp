// dicom-host: a DICOM storage server and batch filer around the module
// DicomServerIniFilePlugin. See docs/host.md.
#include "batch_filer.h"
#include "command_line.h"
#include "executable_location.h"
#include "host_log.h"
#include "incoming_folder.h"
#include "module_session.h"
#include "server_settings.h"
#include "shutdown_signal.h"
#include "storage_server.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmnet/dul.h>
#include <dcmtk/oflog/oflog.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

void configureProcess(bool verbose)
{
    // Peers closing early must show as write errors, not end the process; a
    // file size limit must show as a failed write.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    host::setVerbose(verbose);
    OFLog::configure(verbose ? OFLogger::INFO_LOG_LEVEL : OFLogger::WARN_LOG_LEVEL);
    dcmDisableGethostbyaddr.set(OFTrue);
}

int serve(host::IDicomServerConfiguration& configuration, const host::ServerSettings& settings,
          const host::HostOptions& options, const std::filesystem::path& exeDir)
{
    host::IncomingFolder incoming(options.incomingDir.value_or(settings.storageRoot / ".incoming"));
    std::string error;
    if (!incoming.ensureExists(error)) {
        host::logLine(error);
        return 1;
    }
    host::logLine("incoming folder " + incoming.path().string());
    host::ServeOptions serveOptions;
    serveOptions.maxAssociations = options.maxAssociations;
    serveOptions.bindAddress = options.bindAddress;
    serveOptions.certDir = options.certDir.value_or(exeDir / "certs");
    return host::runStorageServer(configuration, settings, incoming, serveOptions);
}

int fileExisting(host::IDicomServerConfiguration& configuration, const host::ServerSettings& settings,
                 const host::HostOptions& options)
{
    host::BatchOptions batch;
    batch.paths = options.paths;
    batch.callingAeTitle = options.callingAeTitle;
    batch.calledAeTitle = options.calledAeTitle.value_or(settings.aeTitle);
    std::optional<host::IncomingFolder> incoming;
    if (options.copy) {
        incoming.emplace(options.incomingDir.value_or(settings.storageRoot / ".incoming"));
        std::string error;
        if (!incoming->ensureExists(error)) {
            host::logLine(error);
            return 1;
        }
        batch.copyInto = &*incoming;
    }
    return host::runBatchFiling(configuration, batch);
}

} // namespace

int main(int argc, char** argv)
{
    // DCMTK disables Nagle's algorithm on accepted connections only when this
    // is set; without it every small object waits for a delayed acknowledgement.
    setenv("TCP_NODELAY", "1", 0);
    const host::CommandLine commandLine = host::parseCommandLine(argc, argv);
    if (commandLine.helpRequested) {
        std::fputs(host::usageText().c_str(), stdout);
        return 0;
    }
    if (!commandLine.options) {
        std::fprintf(stderr, "dicom-host: %s\n\n%s", commandLine.error.c_str(), host::usageText().c_str());
        return 2;
    }
    const host::HostOptions& options = *commandLine.options;
    configureProcess(options.verbose);
    if (!host::ShutdownSignal::install()) {
        host::logLine("cannot install the signal handlers");
        return 1;
    }

    const std::filesystem::path exeDir = host::executableDirectory();
    const std::filesystem::path modulePath =
        std::filesystem::absolute(options.modulePath.value_or(exeDir / host::kModuleFileName));
    std::string error;
    std::unique_ptr<host::ModuleSession> session =
        host::ModuleSession::open(exeDir / host::kToolkitFileName, modulePath, error);
    if (!session) {
        host::logLine(error);
        return 1;
    }

    const host::ServerSettings settings = host::readServerSettings(session->configuration());
    host::logLine("module " + settings.pluginName + " (" + modulePath.string() + ")");
    host::logLine(host::describe(settings));

    int status = options.command == host::HostCommand::Serve
                     ? serve(session->configuration(), settings, options, exeDir)
                     : fileExisting(session->configuration(), settings, options);
    session.reset();
    return status;
}
