// A module for the loader's tests, built in several variants (CMake gives
// TEST_MODULE_NAME and optionally TEST_MODULE_REFUSES_ATTACH or
// TEST_MODULE_LOADS). Its DllMain reports every call to RecordDllMainCall,
// which the test program exports; a process detach at exit is printed to
// stderr instead, with whether the module's static objects were still alive.
#include <windows.h>

#include <cstdio>
#include <string>

#define TEST_MODULE_EXPORT extern "C" __attribute__((visibility("default")))

extern "C" void RecordDllMainCall(const char* module, DWORD reason, int reservedIsNull);

namespace {

// A static object with a destructor: at exit it must outlive DllMain.
struct StaticsAlive {
    bool alive = true;
    ~StaticsAlive() { alive = false; }
};
StaticsAlive statics;
const std::string moduleName = TEST_MODULE_NAME;

#ifdef TEST_MODULE_LOADS
HMODULE nested = nullptr;
#endif

} // namespace

TEST_MODULE_EXPORT const char* TestModuleName() { return moduleName.c_str(); }

TEST_MODULE_EXPORT BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_DETACH && reserved) {
        fprintf(stderr, "process detach %s at exit, statics %s\n", TEST_MODULE_NAME,
                statics.alive ? "alive" : "destroyed");
        return TRUE;
    }
    RecordDllMainCall(TEST_MODULE_NAME, reason, reserved == nullptr);
#ifdef TEST_MODULE_LOADS
    if (reason == DLL_PROCESS_ATTACH)
        nested = LoadLibraryA(TEST_MODULE_LOADS);
    if (reason == DLL_PROCESS_DETACH && nested)
        FreeLibrary(nested);
#endif
#ifdef TEST_MODULE_REFUSES_ATTACH
    if (reason == DLL_PROCESS_ATTACH)
        return FALSE;
#endif
    return TRUE;
}
