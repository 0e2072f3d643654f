// The module's two entry points: the platform's DllMain and the export
// GetDicomServerConfiguration. Nothing else leaves the module.
#include "plugin/dicom_server_ini_file_plugin.h"
#include "plugin/module_instance.h"
#include "toolkit/win32.h"

// Every thread that runs while the module is loaded gets a single-threaded
// COM apartment, so filing can use the toolkit on any host thread. COM's
// answers are not looked at: a thread already in a multithreaded apartment
// keeps it, and the toolkit probe then finds no toolkit.
MODULE_EXPORT BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
    case DLL_THREAD_ATTACH:
        CoInitialize(nullptr);
        break;
    case DLL_THREAD_DETACH:
        CoUninitialize();
        break;
    case DLL_PROCESS_DETACH:
        destroyPluginInstance();
        CoUninitialize();
        break;
    default:
        break;
    }
    return TRUE;
}

MODULE_EXPORT IDicomServerConfiguration* GetDicomServerConfiguration()
{
    return obtainPluginInstance();
}
