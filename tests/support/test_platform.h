// What the module's tests need to see of the platform beyond the Win32 and
// COM functions themselves: the CreateDirectoryA attempts, the host
// executable's path, the calling thread's COM initialisations, the BSTRs
// alive, and threads that the loaded modules see start and end.
//
// Two implementations, one per platform, so that no test tells them apart:
// test_platform_standin.cpp calls the POSIX stand-in's test hooks;
// test_platform_windows.cpp reaches the same answers on Windows, from the
// system's own COM (an IInitializeSpy) and by routing the imports of the test
// program and of every module handed to watchLoadedModule through recording
// functions in front of kernel32 and oleaut32.
//
// Not thread-safe against the functions they observe: set the observer and
// the override while no other thread calls the platform.
#ifndef TESTS_SUPPORT_TEST_PLATFORM_H
#define TESTS_SUPPORT_TEST_PLATFORM_H

#include <functional>
#include <string>

#include "toolkit/win32.h"

namespace test_platform {

// Every CreateDirectoryA call first hands its path argument, exactly as
// given, to the observer. When the observer answers FALSE the call creates
// nothing and fails with ERROR_ACCESS_DENIED (so tests can watch attempts on
// paths such as "\KORVEL" without touching the file system's root); TRUE lets
// it go on. Pass nullptr to stop observing.
using CreateDirectoryObserver = BOOL (*)(const char* pathName, void* context);
void observeCreateDirectory(CreateDirectoryObserver observer, void* context);

// Makes GetModuleFileNameA(NULL, ...) answer `path` (Windows form, returned
// as given) instead of the test program's path. nullptr: the real path again.
void overrideMainModuleFileName(const char* path);

// Subjects a module just loaded through LoadLibraryA to the observer, the
// override and the BSTR count, before any call of its exports. Its
// DllMain(DLL_PROCESS_ATTACH) has run already.
void watchLoadedModule(HMODULE module);

// The COM initialisations that the calling thread holds: 0 when it is in no
// apartment.
ULONG apartmentDepth();

// BSTRs allocated and not yet freed, in the whole process on the stand-in;
// on Windows those made at the request of the test program and the watched
// modules (through SysAlloc*, or into a variant by VariantCopy and
// VariantChangeType).
LONG liveBstrCount();

// The version of wine when the tests run under it, otherwise empty. Lets a
// test skip a case in which wine is known to differ from Windows.
std::string wineVersion();

// Runs `body` on a new thread that every loaded module sees start and end
// (DllMain with DLL_THREAD_ATTACH before `body`, DLL_THREAD_DETACH after
// it), and answers the COM initialisations the thread still held after the
// modules saw its end.
ULONG runHostThread(const std::function<void()>& body);

} // namespace test_platform

#endif // TESTS_SUPPORT_TEST_PLATFORM_H
