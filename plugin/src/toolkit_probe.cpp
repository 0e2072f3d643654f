#include "plugin/toolkit_probe.h"

#include "toolkit/creation.h"

bool probeToolkit()
{
    if (FAILED(CoInitialize(nullptr)))
        return false;
    bool available = false;
    try {
        toolkit::createDicomFileObject();
        available = true;
    } catch (...) {
        available = false;
    }
    CoUninitialize();
    return available;
}
