// DicomServerIniFilePlugin: the module's one object, handed to the host as
// its IDicomServerConfiguration.
//
// Construction (on the host's first call of the export) probes the toolkit,
// reads DicomServer.ini, compiles the file-name template and creates the
// storage root's folders. Afterwards every field is fixed: the getters answer
// from them, and storeReceivedFile reads them only, so any number of host
// threads may call the object at once without a lock. Each thread that files
// must be in a COM apartment (the module's entry routine gives every thread
// one).
#ifndef PLUGIN_DICOM_SERVER_INI_FILE_PLUGIN_H
#define PLUGIN_DICOM_SERVER_INI_FILE_PLUGIN_H

#include <cstdint>
#include <string>

#include "filing/template_element.h"
#include "plugin/dicom_server_configuration.h"

inline constexpr const char* kPluginName = "INI File Plugin";

class DicomServerIniFilePlugin : public IDicomServerConfiguration {
public:
    DicomServerIniFilePlugin();
    ~DicomServerIniFilePlugin() override;
    DicomServerIniFilePlugin(const DicomServerIniFilePlugin&) = delete;
    DicomServerIniFilePlugin& operator=(const DicomServerIniFilePlugin&) = delete;

    const char* getStorageRoot() override;
    const char* getAeTitle() override;
    std::uint16_t getPort() override;
    bool storeReceivedFile(const std::string& receivedPath, const std::string& sourceAeTitle,
                           const std::string& destinationAeTitle) override;
    bool hook08(HostWord, HostWord, HostWord) override;
    bool hook09(HostWord, HostWord, HostWord, HostWord) override;
    bool hook10(HostWord, HostWord, HostWord) override;
    void hook11() override;
    void hook12() override;
    bool hook14(HostWord, HostWord, HostWord) override;
    void hook15(HostWord, HostWord) override;
    HostWord hook16(HostWord, HostWord, HostWord) override;
    HostWord hook17(HostWord, HostWord) override;
    void hook18(HostWord, HostWord, HostWord, HostWord) override;
    bool hook19(HostWord, HostWord, HostWord) override;
    const char* getPluginName() override;
    bool hook23() override;
    std::string hook24(std::string, std::string) override;
    void hook25(std::string, HostWord) override;
    void hook26(HostWord) override;
    bool isSecureConnection() override;
    std::string getCertSubjectName() override;
    bool isMutualAuthentication() override;
    // Slots 30 and 31, declared by the module's class itself.
    virtual HostWord pluginHook30();
    virtual HostWord pluginHook31();

    // The relative name for one received file; empty after any failure.
    std::string buildFnameFromTemplate(const std::string& receivedPath, const std::string& sourceAeTitle,
                                       const std::string& destinationAeTitle) const;

    bool isToolkitAvailable() const { return toolkitAvailable; }
    const filing::TemplateElements& getTemplateElements() const { return templateElements; }
    const std::string& getFilenameTemplate() const { return filenameTemplate; }

private:
    void compileTemplate(std::string filenameTemplateCopy);

    std::string storageRoot;
    std::string aeTitle;
    std::string filenameTemplate;
    filing::TemplateElements templateElements;
    std::uint16_t port = 0;
    bool toolkitAvailable = false;
    bool secureConnection = false;
    std::string certSubjectName;
    bool mutualAuthentication = false;
};

#endif // PLUGIN_DICOM_SERVER_INI_FILE_PLUGIN_H
