// Thread announcements: what Windows does for every thread by itself.
//
// On Windows the loader calls each loaded module's DllMain with
// DLL_THREAD_ATTACH on a new thread before its start routine runs, and with
// DLL_THREAD_DETACH when the thread ends. POSIX has no such hook, so a host
// announces its own threads: call PlatformThreadAttach() first thing on a new
// thread and PlatformThreadDetach() last thing before it returns (or hold a
// ScopedThreadAnnouncement for the thread's lifetime).
//
// Attach calls DllMain(DLL_THREAD_ATTACH) of every module loaded through
// LoadLibraryA at that moment; detach calls DllMain(DLL_THREAD_DETACH) of every
// module loaded at that moment, as Windows does. The thread that loads a module
// gets DLL_PROCESS_ATTACH instead, and must not be announced for it again.
// Both are thread-safe and may run while other threads load or free modules.
#ifndef PLATFORM_HOST_THREADS_H
#define PLATFORM_HOST_THREADS_H

#include <windows.h>

PLATFORM_API void PlatformThreadAttach(void);
PLATFORM_API void PlatformThreadDetach(void);

#ifdef __cplusplus
class ScopedThreadAnnouncement {
public:
    ScopedThreadAnnouncement() { PlatformThreadAttach(); }
    ~ScopedThreadAnnouncement() { PlatformThreadDetach(); }
    ScopedThreadAnnouncement(const ScopedThreadAnnouncement&) = delete;
    ScopedThreadAnnouncement& operator=(const ScopedThreadAnnouncement&) = delete;
};
#endif

#endif // PLATFORM_HOST_THREADS_H
