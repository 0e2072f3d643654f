// What the module says the host serves, read once through the configuration
// interface and kept as the host's own copies (storage root in POSIX form).
#ifndef HOST_SERVER_SETTINGS_H
#define HOST_SERVER_SETTINGS_H

#include "host/server_configuration.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace host {

struct ServerSettings {
    std::string aeTitle;
    std::uint16_t port = 0;
    std::filesystem::path storageRoot;
    bool secureConnection = false;
    bool mutualAuthentication = false;
    std::string certSubjectName;
    std::string pluginName;
};

ServerSettings readServerSettings(IDicomServerConfiguration& configuration);

// One line for the start-up banner: AE title, port, storage root, TLS.
std::string describe(const ServerSettings& settings);

} // namespace host

#endif // HOST_SERVER_SETTINGS_H
