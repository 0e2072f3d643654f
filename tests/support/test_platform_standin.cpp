// The test platform on the POSIX stand-in: its own test hooks and thread
// announcements.
#include "test_platform.h"

#include <thread>

#include "platform/host_threads.h"
#include "platform/testing.h"

namespace test_platform {

void observeCreateDirectory(CreateDirectoryObserver observer, void* context)
{
    PlatformObserveCreateDirectory(observer, context);
}

void overrideMainModuleFileName(const char* path) { PlatformOverrideMainModuleFileName(path); }

void watchLoadedModule(HMODULE) {}

ULONG apartmentDepth() { return PlatformApartmentDepth(); }

LONG liveBstrCount() { return PlatformLiveBstrCount(); }

std::string wineVersion() { return {}; }

ULONG runHostThread(const std::function<void()>& body)
{
    ULONG heldAfterEnd = 0;
    std::thread([&] {
        PlatformThreadAttach();
        body();
        PlatformThreadDetach();
        heldAfterEnd = PlatformApartmentDepth();
    }).join();
    return heldAfterEnd;
}

} // namespace test_platform
