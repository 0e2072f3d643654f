#include "module_session.h"

#include "host_log.h"

#include <objbase.h>

#include <cstdio>

namespace host {
namespace {

using ToolkitRegistrationFunction = HRESULT (*)();

constexpr const char* kRegisterExport = "RegisterToolkitClasses";
constexpr const char* kRevokeExport = "RevokeToolkitClasses";

std::string hex(HRESULT value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

template <typename Function>
Function lookUp(HMODULE library, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

} // namespace

std::unique_ptr<ModuleSession> ModuleSession::open(const std::filesystem::path& componentPath,
                                                   const std::filesystem::path& modulePath, std::string& error)
{
    std::unique_ptr<ModuleSession> session(new ModuleSession());
    HRESULT hr = CoInitialize(nullptr);
    if (FAILED(hr)) {
        error = "COM initialisation failed: " + hex(hr);
        return nullptr;
    }
    session->comInitialized_ = true;
    session->loadComponent(componentPath);
    if (!session->loadModule(modulePath, error))
        return nullptr;
    return session;
}

void ModuleSession::loadComponent(const std::filesystem::path& componentPath)
{
    const std::string warning = "toolkit component not available: received files are left in the incoming folder";
    component_ = LoadLibraryA(componentPath.c_str());
    if (component_ == nullptr) {
        logLine(warning + " (" + componentPath.string() + " not loaded, error " + std::to_string(GetLastError()) +
                ")");
        return;
    }
    auto registerClasses = lookUp<ToolkitRegistrationFunction>(component_, kRegisterExport);
    HRESULT hr = registerClasses ? registerClasses() : E_NOTIMPL;
    if (FAILED(hr)) {
        logLine(warning + " (" + std::string(kRegisterExport) + " failed: " + hex(hr) + ")");
        FreeLibrary(component_);
        component_ = nullptr;
    }
}

bool ModuleSession::loadModule(const std::filesystem::path& modulePath, std::string& error)
{
    module_ = LoadLibraryA(modulePath.c_str());
    if (module_ == nullptr) {
        error = "cannot load the module " + modulePath.string() + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    auto getConfiguration = lookUp<GetDicomServerConfigurationFunction>(module_, kConfigurationExport);
    if (getConfiguration == nullptr) {
        error = modulePath.string() + " does not export " + kConfigurationExport;
        return false;
    }
    configuration_ = getConfiguration();
    if (configuration_ == nullptr) {
        error = std::string(kConfigurationExport) + " answered no configuration";
        return false;
    }
    return true;
}

ModuleSession::~ModuleSession()
{
    configuration_ = nullptr;
    if (module_ != nullptr)
        FreeLibrary(module_);
    if (component_ != nullptr) {
        if (auto revokeClasses = lookUp<ToolkitRegistrationFunction>(component_, kRevokeExport))
            revokeClasses();
        FreeLibrary(component_);
    }
    if (comInitialized_)
        CoUninitialize();
}

} // namespace host
