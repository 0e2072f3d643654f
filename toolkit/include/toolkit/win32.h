// The module's one view of the platform: the Win32 and COM declarations it
// calls, and how it exports a function. This is the only place where the
// module's code tells Windows from the POSIX stand-in; everything else is
// written once, against the Windows names.
#ifndef TOOLKIT_WIN32_H
#define TOOLKIT_WIN32_H

#ifdef _WIN32
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#define MODULE_EXPORT extern "C" __declspec(dllexport)
#else
// platform/include: the stand-in headers under the same names.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#define MODULE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

#endif // TOOLKIT_WIN32_H
