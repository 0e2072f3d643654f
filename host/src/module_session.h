// The loaded module and toolkit component, from start-up to shutdown.
//
// Opening follows the order that a Windows host keeps: COM on the calling
// thread, the toolkit component loaded and its classes registered, then the
// module loaded and GetDicomServerConfiguration called once. Closing undoes it
// in reverse: the module freed (its process detach destroys its object), the
// toolkit classes revoked and the component freed, COM left.
//
// Open and close on the same thread (the host's main thread). Threads that
// call the configuration must be announced (platform/host_threads.h) while
// the session is open.
#ifndef HOST_MODULE_SESSION_H
#define HOST_MODULE_SESSION_H

#include "host/server_configuration.h"

#include <windows.h>

#include <filesystem>
#include <memory>
#include <string>

namespace host {

inline constexpr const char* kModuleFileName = "DicomServerIniFilePlugin.so";
inline constexpr const char* kToolkitFileName = "DicomToolkit.so";

class ModuleSession {
public:
    // Loads the component from `componentPath` (a missing or failing
    // component is reported and left out) and the module from `modulePath`.
    // Answers null and sets `error` when the module cannot be used.
    static std::unique_ptr<ModuleSession> open(const std::filesystem::path& componentPath,
                                               const std::filesystem::path& modulePath, std::string& error);
    ~ModuleSession();

    ModuleSession(const ModuleSession&) = delete;
    ModuleSession& operator=(const ModuleSession&) = delete;

    IDicomServerConfiguration& configuration() { return *configuration_; }
    bool toolkitAvailable() const { return component_ != nullptr; }

private:
    ModuleSession() = default;
    void loadComponent(const std::filesystem::path& componentPath);
    bool loadModule(const std::filesystem::path& modulePath, std::string& error);

    bool comInitialized_ = false;
    HMODULE component_ = nullptr;
    HMODULE module_ = nullptr;
    IDicomServerConfiguration* configuration_ = nullptr;
};

} // namespace host

#endif // HOST_MODULE_SESSION_H
