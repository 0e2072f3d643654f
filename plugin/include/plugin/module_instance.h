// The module's one plug-in object, owned through a process-wide pointer.
//
// The first call of the export constructs the object; it is stored only once
// construction completed, so a construction that fails (memory running out)
// leaves the pointer empty and the next call starts afresh. Process detach
// destroys it. The host makes its first call before it shares the interface
// with other threads, so no lock is taken.
#ifndef PLUGIN_MODULE_INSTANCE_H
#define PLUGIN_MODULE_INSTANCE_H

class DicomServerIniFilePlugin;

DicomServerIniFilePlugin* obtainPluginInstance();
void destroyPluginInstance();
// Clears the pointer if it holds `plugin`, which is being destroyed.
void forgetPluginInstance(const DicomServerIniFilePlugin* plugin);

#endif // PLUGIN_MODULE_INSTANCE_H
