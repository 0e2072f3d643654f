// LoadedModule: the module loaded through the platform loader, as a host
// loads it, with the host's view of its interface.
//
// The module reads DicomServer.ini beside the "host executable", which the
// test platform (test_platform.h) places in a folder of the test's choosing:
// pass the folder, and write the settings file there before the first
// configuration() call. Unloading (the destructor) runs the module's process
// detach.
#ifndef TESTS_SUPPORT_LOADED_MODULE_H
#define TESTS_SUPPORT_LOADED_MODULE_H

#include <filesystem>
#include <string>

#include "host/server_configuration.h"
#include "toolkit/win32.h"

class LoadedModule {
public:
    // Loads the module for a host executable in `hostFolder`.
    explicit LoadedModule(const std::filesystem::path& hostFolder);
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    // Calls the export.
    host::IDicomServerConfiguration* configuration();
    // Unloads now (process detach); further calls are not allowed.
    void unload();
    HMODULE handle() const { return module_; }

private:
    HMODULE module_ = nullptr;
};

// Writes a DicomServer.ini with `body` (the lines after the section header)
// into `folder`.
void writeSettings(const std::filesystem::path& folder, const std::string& body);

#endif // TESTS_SUPPORT_LOADED_MODULE_H
