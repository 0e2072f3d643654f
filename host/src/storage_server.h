// `dicom-host serve`: listens for associations on the module's port and AE
// title, serves up to a fixed number at once on announced worker threads, and
// on SIGINT or SIGTERM stops accepting, lets every object in flight be filed
// or answered, and returns.
//
// Call on the thread that loaded the module, while the module is loaded.
#ifndef HOST_STORAGE_SERVER_H
#define HOST_STORAGE_SERVER_H

#include "host/server_configuration.h"
#include "incoming_folder.h"
#include "server_settings.h"

#include <filesystem>
#include <string>

namespace host {

struct ServeOptions {
    unsigned maxAssociations = 8;
    std::string bindAddress;
    std::filesystem::path certDir;
};

// Answers the process exit status: 0 after a requested shutdown, 1 when the
// server could not start.
int runStorageServer(IDicomServerConfiguration& configuration, const ServerSettings& settings,
                     IncomingFolder& incoming, const ServeOptions& options);

} // namespace host

#endif // HOST_STORAGE_SERVER_H
