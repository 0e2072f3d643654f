#include "server_settings.h"

#include "windows_paths.h"

namespace host {
namespace {

std::string text(const char* value) { return value ? value : ""; }

} // namespace

ServerSettings readServerSettings(IDicomServerConfiguration& configuration)
{
    ServerSettings settings;
    settings.pluginName = text(configuration.getPluginName());
    settings.aeTitle = text(configuration.getAeTitle());
    settings.port = configuration.getPort();
    settings.storageRoot = fromWindowsForm(text(configuration.getStorageRoot()));
    settings.secureConnection = configuration.isSecureConnection();
    settings.certSubjectName = configuration.getCertSubjectName();
    settings.mutualAuthentication = configuration.isMutualAuthentication();
    return settings;
}

std::string describe(const ServerSettings& settings)
{
    std::string line = "AE title " + settings.aeTitle + ", port " + std::to_string(settings.port) +
                       ", storage root " + settings.storageRoot.string() + ", TLS ";
    line += settings.secureConnection ? "on (certificate '" + settings.certSubjectName + "')" : std::string("off");
    line += ", mutual authentication ";
    line += settings.mutualAuthentication ? "on" : "off";
    return line;
}

} // namespace host
