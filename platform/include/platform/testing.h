// Test hooks of the platform stand-in. They let tests observe and steer what
// Windows would only show through a debugger or a second machine; nothing in
// a module or host uses them.
//
// Not thread-safe against the functions they observe: set them while no
// other thread calls the platform.
#ifndef PLATFORM_TESTING_H
#define PLATFORM_TESTING_H

#include <windows.h>

// Every call of CreateDirectoryA first hands its path argument, exactly as
// given (Windows form), to the observer. When the observer answers FALSE the
// call creates nothing and fails with ERROR_ACCESS_DENIED (so tests can watch
// the attempts on paths such as "\KORVEL" without touching the file system's
// root); TRUE lets it go on. Pass nullptr to stop observing.
typedef BOOL (*CreateDirectoryObserver)(const char* pathName, void* context);
PLATFORM_API void PlatformObserveCreateDirectory(CreateDirectoryObserver observer, void* context);

// Makes GetModuleFileNameA(NULL, ...) answer `path` (Windows form, returned as
// given) instead of the executable's path. Pass nullptr to answer the real
// path again.
PLATFORM_API void PlatformOverrideMainModuleFileName(const char* path);

// The number of COM initialisations that the calling thread holds: 0 when it
// is in no apartment. Lets tests check that init and uninit are balanced.
PLATFORM_API ULONG PlatformApartmentDepth(void);

// BSTRs allocated and not yet freed, in the whole process.
PLATFORM_API LONG PlatformLiveBstrCount(void);

#endif // PLATFORM_TESTING_H
