// The module loader of the stand-in: LoadLibraryA, GetProcAddress,
// FreeLibrary, GetModuleFileNameA, and the DllMain calls Windows' loader
// makes: process attach at the first load, process detach at the last free
// and at process exit, thread attach and detach when a host thread announces
// itself (host_threads.h).
//
// Thread-safety: every function here is thread-safe. One recursive "loader
// lock" serialises loading, freeing and every DllMain call, so a DllMain may
// itself load or free modules on its thread, as on Windows.
#include "windows_path.h"

#include <platform/host_threads.h>
#include <platform/testing.h>
#include <windows.h>

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace {

typedef BOOL(WINAPI* DllMainProc)(HINSTANCE, DWORD, LPVOID);

// What DllMain receives as `reserved` for a process detach at exit: Windows
// passes non-NULL there and NULL for a detach caused by FreeLibrary.
LPVOID const processTerminating = reinterpret_cast<LPVOID>(1);

enum class ModuleState {
    Attaching,         // its DllMain(DLL_PROCESS_ATTACH) is running
    Attached,          // receives thread notifications and a detach at exit
    Detaching,         // its DllMain(DLL_PROCESS_DETACH) for the last free is running
    DetachedAtExit,    // the process is ending; the library stays mapped
};

struct Module {
    void* library;       // the dlopen handle; also the HMODULE
    std::string path;    // POSIX form, absolute
    DllMainProc dllMain; // null when the library exports none
    unsigned references;
    ModuleState state;

    HMODULE handle() const { return static_cast<HMODULE>(library); }
    void notify(DWORD reason, LPVOID reserved) const
    {
        if (dllMain)
            dllMain(handle(), reason, reserved);
    }
};

struct Loader {
    std::recursive_mutex lock;
    // Loaded modules. Once attached, a module sits behind every module that
    // finished its attach before it: the order of initialisation, which
    // thread attach follows and process detach at exit reverses.
    std::vector<std::shared_ptr<Module>> modules;
};

// Never destroyed: exit handlers and threads still running at exit use it.
Loader& loader()
{
    static Loader* instance = new Loader;
    return *instance;
}

std::mutex mainModuleOverrideLock;
std::optional<std::string> mainModuleOverride;

std::shared_ptr<Module> findModule(Loader& l, const void* library)
{
    for (const std::shared_ptr<Module>& module : l.modules)
        if (module->library == library)
            return module;
    return nullptr;
}

void removeModule(Loader& l, const std::shared_ptr<Module>& module)
{
    l.modules.erase(std::remove(l.modules.begin(), l.modules.end(), module), l.modules.end());
}

std::string executablePath()
{
    char buffer[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

std::string absolutePath(const std::string& path)
{
    if (path.empty() || path.front() == '/')
        return path;
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd))
        return path;
    return std::string(cwd) + "/" + path;
}

// Where `name` is looked for: a bare name first beside the executable, as
// Windows' search starts with the application's folder, then by dlopen's
// own search; a name with a folder part as it stands.
std::string libraryToOpen(const std::string& posixName)
{
    if (posixName.find('/') != std::string::npos)
        return posixName;
    std::string beside = platform::parentFolderOf(executablePath()) + "/" + posixName;
    if (access(beside.c_str(), F_OK) == 0)
        return beside;
    return posixName;
}

std::string loadedPath(void* library, const std::string& opened)
{
    struct link_map* map = nullptr;
    if (dlinfo(library, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && map->l_name[0])
        return absolutePath(map->l_name);
    return absolutePath(opened);
}

// dlsym on a handle also searches the library's dependencies; Windows'
// GetProcAddress answers only from the module's own exports.
void* ownSymbol(void* library, const char* name)
{
    void* address = dlsym(library, name);
    if (!address)
        return nullptr;
    struct link_map* owner = nullptr;
    struct link_map* self = nullptr;
    Dl_info info;
    if (!dladdr1(address, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) ||
        dlinfo(library, RTLD_DI_LINKMAP, &self) != 0 || owner != self)
        return nullptr;
    return address;
}

// Process detach at exit, in reverse order of initialisation, with
// reserved non-NULL. The libraries stay mapped, as on Windows: code that runs
// later in the exit (static destructors of the executable, other threads)
// may still hold their handles, which stay valid.
void detachModulesAtExit()
{
    Loader& l = loader();
    std::lock_guard<std::recursive_mutex> guard(l.lock);
    for (;;) {
        auto last = std::find_if(l.modules.rbegin(), l.modules.rend(),
                                 [](const std::shared_ptr<Module>& m) { return m->state == ModuleState::Attached; });
        if (last == l.modules.rend())
            return;
        std::shared_ptr<Module> module = *last;
        module->state = ModuleState::DetachedAtExit;
        module->notify(DLL_PROCESS_DETACH, processTerminating);
    }
}

bool loaderTraceWanted()
{
    const char* trace = getenv("PLATFORM_LOADER_TRACE");
    return trace && trace[0] && strcmp(trace, "0") != 0;
}

DWORD copyModuleFileName(const std::string& windowsPath, LPSTR buffer, DWORD size)
{
    if (size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (windowsPath.size() + 1 > size) {
        memcpy(buffer, windowsPath.data(), size - 1);
        buffer[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    memcpy(buffer, windowsPath.c_str(), windowsPath.size() + 1);
    return static_cast<DWORD>(windowsPath.size());
}

} // namespace

PLATFORM_API HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName)
{
    if (!lpLibFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // dlopen("") would answer the main program.
    if (!lpLibFileName[0]) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    std::string toOpen = libraryToOpen(platform::posixPathFromWindows(lpLibFileName));

    Loader& l = loader();
    std::lock_guard<std::recursive_mutex> guard(l.lock);
    void* library = dlopen(toOpen.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        if (loaderTraceWanted())
            fprintf(stderr, "LoadLibraryA(%s): %s\n", lpLibFileName, dlerror());
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    if (std::shared_ptr<Module> loaded = findModule(l, library)) {
        dlclose(library); // one dlopen reference per module; the count is ours
        ++loaded->references;
        return loaded->handle();
    }

    auto module = std::make_shared<Module>(Module{library, loadedPath(library, toOpen),
                                                  reinterpret_cast<DllMainProc>(ownSymbol(library, "DllMain")), 1,
                                                  ModuleState::Attaching});
    // Listed before its DllMain runs, so that the DllMain may load its own
    // module again and get this handle.
    l.modules.push_back(module);
    if (module->dllMain && !module->dllMain(module->handle(), DLL_PROCESS_ATTACH, nullptr)) {
        module->dllMain(module->handle(), DLL_PROCESS_DETACH, nullptr);
        removeModule(l, module);
        dlclose(library);
        SetLastError(ERROR_DLL_INIT_FAILED);
        return nullptr;
    }
    removeModule(l, module);
    l.modules.push_back(module);
    module->state = ModuleState::Attached;
    // Registered after the library's own static constructors registered their
    // destructors, so at exit it runs before them: DllMain sees its module's
    // statics alive, as on Windows. Later handlers find nothing left to do.
    if (module->dllMain)
        atexit(detachModulesAtExit);
    return module->handle();
}

PLATFORM_API FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName)
{
    // A name below 0x10000 is an ordinal on Windows; ELF has none.
    if (!lpProcName || reinterpret_cast<uintptr_t>(lpProcName) < 0x10000) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    Loader& l = loader();
    std::lock_guard<std::recursive_mutex> guard(l.lock);
    void* address = nullptr;
    if (!hModule) {
        void* program = dlopen(nullptr, RTLD_NOW);
        address = dlsym(program, lpProcName);
        dlclose(program);
    } else {
        std::shared_ptr<Module> module = findModule(l, hModule);
        if (!module) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        address = ownSymbol(module->library, lpProcName);
    }
    if (!address) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(address);
}

PLATFORM_API BOOL WINAPI FreeLibrary(HMODULE hLibModule)
{
    Loader& l = loader();
    std::lock_guard<std::recursive_mutex> guard(l.lock);
    std::shared_ptr<Module> module = findModule(l, hLibModule);
    if (!module || module->references == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (--module->references > 0 || module->state == ModuleState::DetachedAtExit)
        return TRUE;
    module->state = ModuleState::Detaching;
    module->notify(DLL_PROCESS_DETACH, nullptr);
    removeModule(l, module);
    dlclose(module->library);
    return TRUE;
}

PLATFORM_API DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize)
{
    if (!lpFilename && nSize > 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!hModule) {
        std::string path;
        {
            std::lock_guard<std::mutex> guard(mainModuleOverrideLock);
            path = mainModuleOverride ? *mainModuleOverride : platform::windowsPathFromPosix(executablePath());
        }
        return copyModuleFileName(path, lpFilename, nSize);
    }
    Loader& l = loader();
    std::lock_guard<std::recursive_mutex> guard(l.lock);
    std::shared_ptr<Module> module = findModule(l, hModule);
    if (!module) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    return copyModuleFileName(platform::windowsPathFromPosix(module->path), lpFilename, nSize);
}

PLATFORM_API void PlatformOverrideMainModuleFileName(const char* path)
{
    std::lock_guard<std::mutex> guard(mainModuleOverrideLock);
    if (path)
        mainModuleOverride = path;
    else
        mainModuleOverride.reset();
}

PLATFORM_API void PlatformThreadAttach(void)
{
    Loader& l = loader();
    std::lock_guard<std::recursive_mutex> guard(l.lock);
    std::vector<std::shared_ptr<Module>> snapshot = l.modules;
    for (const std::shared_ptr<Module>& module : snapshot)
        if (module->state == ModuleState::Attached) // a DllMain before it may have freed it
            module->notify(DLL_THREAD_ATTACH, nullptr);
}

PLATFORM_API void PlatformThreadDetach(void)
{
    Loader& l = loader();
    std::lock_guard<std::recursive_mutex> guard(l.lock);
    std::vector<std::shared_ptr<Module>> snapshot = l.modules;
    for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it)
        if ((*it)->state == ModuleState::Attached)
            (*it)->notify(DLL_THREAD_DETACH, nullptr);
}
