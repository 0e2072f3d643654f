#include "plugin/dicom_server_ini_file_plugin.h"

#include "filing/filename_builder.h"
#include "filing/received_file.h"
#include "filing/template_compiler.h"
#include "plugin/module_instance.h"
#include "plugin/toolkit_probe.h"
#include "settings/directory_chain.h"
#include "settings/server_settings.h"

DicomServerIniFilePlugin::DicomServerIniFilePlugin()
{
    toolkitAvailable = probeToolkit();

    const settings::ServerSettings read = settings::readServerSettings(settings::hostSettingsPath());
    aeTitle = read.aeTitle;
    port = read.port;
    storageRoot = read.storageRoot;
    filenameTemplate = read.filenameTemplate;
    secureConnection = read.secureConnection;
    mutualAuthentication = read.mutualAuthentication;
    certSubjectName = read.certSubjectName;

    compileTemplate(filenameTemplate);
    settings::createDirectoryChain(storageRoot);
}

DicomServerIniFilePlugin::~DicomServerIniFilePlugin()
{
    // A host that destroys the object itself must not leave process detach a
    // dangling pointer to destroy again.
    forgetPluginInstance(this);
}

void DicomServerIniFilePlugin::compileTemplate(std::string filenameTemplateCopy)
{
    filing::compileTemplate(std::move(filenameTemplateCopy), templateElements);
}

std::string DicomServerIniFilePlugin::buildFnameFromTemplate(const std::string& receivedPath,
                                                             const std::string& sourceAeTitle,
                                                             const std::string& destinationAeTitle) const
{
    return filing::buildFnameFromTemplate(filenameTemplate, templateElements, receivedPath, sourceAeTitle,
                                          destinationAeTitle);
}

bool DicomServerIniFilePlugin::storeReceivedFile(const std::string& receivedPath, const std::string& sourceAeTitle,
                                                 const std::string& destinationAeTitle)
{
    if (!toolkitAvailable)
        return true;
    // Nothing may leave through the host's table: a failure here (memory
    // running out while joining paths) answers "not filed" and leaves the
    // received file where the host put it.
    try {
        const std::string root = getStorageRoot();
        const std::string relativeName = buildFnameFromTemplate(receivedPath, sourceAeTitle, destinationAeTitle);
        return filing::fileReceivedFile(root, relativeName, receivedPath);
    } catch (...) {
        return false;
    }
}

const char* DicomServerIniFilePlugin::getStorageRoot() { return storageRoot.c_str(); }
const char* DicomServerIniFilePlugin::getAeTitle() { return aeTitle.c_str(); }
std::uint16_t DicomServerIniFilePlugin::getPort() { return port; }
bool DicomServerIniFilePlugin::isSecureConnection() { return secureConnection; }
std::string DicomServerIniFilePlugin::getCertSubjectName() { return certSubjectName; }
bool DicomServerIniFilePlugin::isMutualAuthentication() { return mutualAuthentication; }
const char* DicomServerIniFilePlugin::getPluginName() { return kPluginName; }

// Operations whose meaning only the host knows: fixed answers.
bool DicomServerIniFilePlugin::hook08(HostWord, HostWord, HostWord) { return false; }
bool DicomServerIniFilePlugin::hook09(HostWord, HostWord, HostWord, HostWord) { return false; }
bool DicomServerIniFilePlugin::hook10(HostWord, HostWord, HostWord) { return true; }
void DicomServerIniFilePlugin::hook11() {}
void DicomServerIniFilePlugin::hook12() {}
bool DicomServerIniFilePlugin::hook14(HostWord, HostWord, HostWord) { return false; }
void DicomServerIniFilePlugin::hook15(HostWord, HostWord) {}
HostWord DicomServerIniFilePlugin::hook16(HostWord, HostWord, HostWord) { return 0; }
HostWord DicomServerIniFilePlugin::hook17(HostWord, HostWord) { return 0; }
void DicomServerIniFilePlugin::hook18(HostWord, HostWord, HostWord, HostWord) {}
bool DicomServerIniFilePlugin::hook19(HostWord, HostWord, HostWord) { return false; }
bool DicomServerIniFilePlugin::hook23() { return true; }
std::string DicomServerIniFilePlugin::hook24(std::string, std::string) { return std::string(); }
void DicomServerIniFilePlugin::hook25(std::string, HostWord) {}
void DicomServerIniFilePlugin::hook26(HostWord) {}
HostWord DicomServerIniFilePlugin::pluginHook30() { return 0; }
HostWord DicomServerIniFilePlugin::pluginHook31() { return 0; }
