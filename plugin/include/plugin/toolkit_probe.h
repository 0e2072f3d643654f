// probeToolkit: whether the DICOM toolkit component can be used.
//
// In its own (possibly nested) COM initialisation of the calling thread,
// creates and releases one toolkit file object. True when the initialisation
// succeeded and the creation raised nothing (a creation answering
// E_NOINTERFACE counts as available). Undoes the initialisation only when it
// succeeded; raises nothing.
#ifndef PLUGIN_TOOLKIT_PROBE_H
#define PLUGIN_TOOLKIT_PROBE_H

bool probeToolkit();

#endif // PLUGIN_TOOLKIT_PROBE_H
