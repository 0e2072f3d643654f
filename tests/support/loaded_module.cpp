#include "loaded_module.h"

#include <stdexcept>

#include "temp_dir.h"
#include "test_platform.h"

LoadedModule::LoadedModule(const std::filesystem::path& hostFolder)
{
    test_platform::overrideMainModuleFileName(toWindowsPath((hostFolder / "dicom-host.exe").string()).c_str());
    module_ = LoadLibraryA(DSP_MODULE_PATH);
    if (!module_)
        throw std::runtime_error("cannot load " + std::string(DSP_MODULE_PATH));
    test_platform::watchLoadedModule(module_);
}

LoadedModule::~LoadedModule()
{
    unload();
    test_platform::overrideMainModuleFileName(nullptr);
}

host::IDicomServerConfiguration* LoadedModule::configuration()
{
    // Through the generic function pointer type, as GetProcAddress's answer
    // is meant to be cast.
    const auto getConfiguration = reinterpret_cast<host::GetDicomServerConfigurationFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(module_, host::kConfigurationExport)));
    if (!getConfiguration)
        throw std::runtime_error("the module does not export GetDicomServerConfiguration");
    return getConfiguration();
}

void LoadedModule::unload()
{
    if (module_)
        FreeLibrary(module_);
    module_ = nullptr;
}

void writeSettings(const std::filesystem::path& folder, const std::string& body)
{
    writeTextFile(folder / "DicomServer.ini", "[DICOM_SERVER]\n" + body);
}
