#include "plugin/module_instance.h"

#include <memory>

#include "plugin/dicom_server_ini_file_plugin.h"

namespace {
DicomServerIniFilePlugin* pluginInstance = nullptr;
}

DicomServerIniFilePlugin* obtainPluginInstance()
{
    if (!pluginInstance)
        pluginInstance = std::make_unique<DicomServerIniFilePlugin>().release();
    return pluginInstance;
}

void destroyPluginInstance()
{
    // The destructor clears pluginInstance through forgetPluginInstance.
    delete static_cast<IDicomServerConfiguration*>(pluginInstance);
}

void forgetPluginInstance(const DicomServerIniFilePlugin* plugin)
{
    if (pluginInstance == plugin)
        pluginInstance = nullptr;
}
