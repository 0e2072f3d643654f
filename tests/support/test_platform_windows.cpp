// The test platform on Windows.
//
// CreateDirectoryA, GetModuleFileNameA and the BSTR-making functions of
// oleaut32 are reached through import tables: every imported function's
// address sits in its importer's table. Entries of the test program (at
// start) and of every watched module are pointed at the recording functions
// below, which pass each call on to the system's own function. Apartment
// depths come from COM itself: an IInitializeSpy is told the thread's count
// of initialisations at every CoInitializeEx and CoUninitialize.
#include "test_platform.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>

namespace test_platform {

namespace {

// ------------------------------------------------------------ observed state
CreateDirectoryObserver createDirectoryObserver = nullptr;
void* createDirectoryContext = nullptr;
bool mainModuleFileNameOverridden = false;
std::string mainModuleFileName;
// BSTRs made at the request of the test program or a watched module, not
// yet freed. Counting them by address lets a BSTR that the system made for
// itself (error info's description) be freed without counting.
std::mutex liveBstrsMutex;
std::unordered_set<BSTR> liveBstrs;

void made(BSTR text)
{
    if (!text)
        return;
    const std::lock_guard<std::mutex> lock(liveBstrsMutex);
    liveBstrs.insert(text);
}

void gone(BSTR text)
{
    if (!text)
        return;
    const std::lock_guard<std::mutex> lock(liveBstrsMutex);
    liveBstrs.erase(text);
}

// ------------------------------------------------------------ system functions
template <typename Function> Function systemFunction(const char* dll, const char* name)
{
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA(dll), name)));
}

#define SYSTEM_FUNCTION(dll, name) const auto system##name = systemFunction<decltype(&::name)>(dll, #name)
SYSTEM_FUNCTION("kernel32.dll", CreateDirectoryA);
SYSTEM_FUNCTION("kernel32.dll", GetModuleFileNameA);
SYSTEM_FUNCTION("oleaut32.dll", SysAllocString);
SYSTEM_FUNCTION("oleaut32.dll", SysAllocStringLen);
SYSTEM_FUNCTION("oleaut32.dll", SysAllocStringByteLen);
SYSTEM_FUNCTION("oleaut32.dll", SysReAllocString);
SYSTEM_FUNCTION("oleaut32.dll", SysReAllocStringLen);
SYSTEM_FUNCTION("oleaut32.dll", SysFreeString);
SYSTEM_FUNCTION("oleaut32.dll", VariantClear);
SYSTEM_FUNCTION("oleaut32.dll", VariantCopy);
SYSTEM_FUNCTION("oleaut32.dll", VariantChangeType);
SYSTEM_FUNCTION("oleaut32.dll", VariantChangeTypeEx);
#undef SYSTEM_FUNCTION

// ------------------------------------------------------------ recording functions
BOOL WINAPI observedCreateDirectoryA(LPCSTR pathName, LPSECURITY_ATTRIBUTES attributes)
{
    if (createDirectoryObserver && !createDirectoryObserver(pathName, createDirectoryContext)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return systemCreateDirectoryA(pathName, attributes);
}

// With the override, answers as Windows does: a name that does not fit is
// cut to size - 1 characters and terminated, and the answer is `size`.
DWORD WINAPI overriddenGetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size)
{
    if (module || !mainModuleFileNameOverridden)
        return systemGetModuleFileNameA(module, fileName, size);
    if (size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    const DWORD length = static_cast<DWORD>(mainModuleFileName.size());
    const DWORD copied = length < size ? length : size - 1;
    std::memcpy(fileName, mainModuleFileName.data(), copied);
    fileName[copied] = '\0';
    if (copied < length) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    SetLastError(ERROR_SUCCESS);
    return length;
}

BSTR counted(BSTR text)
{
    made(text);
    return text;
}

BSTR WINAPI countedSysAllocString(const OLECHAR* text) { return counted(systemSysAllocString(text)); }

BSTR WINAPI countedSysAllocStringLen(const OLECHAR* text, UINT length)
{
    return counted(systemSysAllocStringLen(text, length));
}

BSTR WINAPI countedSysAllocStringByteLen(LPCSTR text, UINT length)
{
    return counted(systemSysAllocStringByteLen(text, length));
}

INT WINAPI countedSysReAllocString(BSTR* text, const OLECHAR* from)
{
    const BSTR before = *text;
    const INT done = systemSysReAllocString(text, from);
    if (done) {
        gone(before);
        made(*text);
    }
    return done;
}

INT WINAPI countedSysReAllocStringLen(BSTR* text, const OLECHAR* from, UINT length)
{
    const BSTR before = *text;
    const INT done = systemSysReAllocStringLen(text, from, length);
    if (done) {
        gone(before);
        made(*text);
    }
    return done;
}

void WINAPI countedSysFreeString(BSTR text)
{
    gone(text);
    systemSysFreeString(text);
}

// The BSTR that `variant` owns, or null.
BSTR ownedBstr(const VARIANTARG* variant) { return variant && variant->vt == VT_BSTR ? variant->bstrVal : nullptr; }

// Counts what a successful call did to `target`'s own BSTR: the one it held
// before is gone unless it is still there, the one it holds now is new unless
// it was there before.
HRESULT countedChange(VARIANTARG* target, BSTR before, HRESULT result)
{
    const BSTR after = ownedBstr(target);
    if (SUCCEEDED(result) && after != before) {
        gone(before);
        made(after);
    }
    return result;
}

HRESULT WINAPI countedVariantClear(VARIANTARG* variant)
{
    const BSTR before = ownedBstr(variant);
    return countedChange(variant, before, systemVariantClear(variant));
}

HRESULT WINAPI countedVariantCopy(VARIANTARG* target, VARIANTARG* source)
{
    const BSTR before = ownedBstr(target);
    return countedChange(target, before, systemVariantCopy(target, source));
}

HRESULT WINAPI countedVariantChangeType(VARIANTARG* target, VARIANTARG* source, USHORT flags, VARTYPE type)
{
    const BSTR before = ownedBstr(target);
    return countedChange(target, before, systemVariantChangeType(target, source, flags, type));
}

HRESULT WINAPI countedVariantChangeTypeEx(VARIANTARG* target, VARIANTARG* source, LCID locale, USHORT flags,
                                          VARTYPE type)
{
    const BSTR before = ownedBstr(target);
    return countedChange(target, before, systemVariantChangeTypeEx(target, source, locale, flags, type));
}

// ------------------------------------------------------------ import tables
struct Redirection {
    const char* name;
    void* function;
};

#define REDIRECT(name, function) {#name, reinterpret_cast<void*>(&function)}
const Redirection redirections[] = {
    REDIRECT(CreateDirectoryA, observedCreateDirectoryA),
    REDIRECT(GetModuleFileNameA, overriddenGetModuleFileNameA),
    REDIRECT(SysAllocString, countedSysAllocString),
    REDIRECT(SysAllocStringLen, countedSysAllocStringLen),
    REDIRECT(SysAllocStringByteLen, countedSysAllocStringByteLen),
    REDIRECT(SysReAllocString, countedSysReAllocString),
    REDIRECT(SysReAllocStringLen, countedSysReAllocStringLen),
    REDIRECT(SysFreeString, countedSysFreeString),
    REDIRECT(VariantClear, countedVariantClear),
    REDIRECT(VariantCopy, countedVariantCopy),
    REDIRECT(VariantChangeType, countedVariantChangeType),
    REDIRECT(VariantChangeTypeEx, countedVariantChangeTypeEx),
};
#undef REDIRECT

// Points every import of `module` named in `redirections` at its recording
// function, whichever DLL it is imported from.
void redirectImports(HMODULE module)
{
    auto* const base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0)
        return;
    for (auto* dll = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); dll->Name;
         ++dll) {
        if (dll->OriginalFirstThunk == 0)
            continue;
        const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
        auto* entries = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++entries) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            for (const Redirection& redirection : redirections) {
                if (std::strcmp(reinterpret_cast<const char*>(byName->Name), redirection.name) != 0)
                    continue;
                DWORD protection = 0;
                VirtualProtect(&entries->u1.Function, sizeof entries->u1.Function, PAGE_READWRITE, &protection);
                entries->u1.Function = reinterpret_cast<ULONG_PTR>(redirection.function);
                VirtualProtect(&entries->u1.Function, sizeof entries->u1.Function, protection, &protection);
            }
        }
    }
}

// Before main: the test program's own calls go through the recording
// functions from its first BSTR on.
const bool testProgramWatched = (redirectImports(GetModuleHandleA(nullptr)), true);

// ------------------------------------------------------------ apartments
// Told the calling thread's count of COM initialisations around every
// CoInitializeEx and CoUninitialize while registered. Owned by its creator;
// COM's references do not free it.
class ApartmentSpy final : public IInitializeSpy {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (iid == IID_IUnknown || iid == IID_IInitializeSpy) {
            *object = static_cast<IInitializeSpy*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE PreInitialize(DWORD, DWORD count) override
    {
        countBefore = count;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE PostInitialize(HRESULT result, DWORD, DWORD count) override
    {
        countAfter = count;
        return result;
    }
    HRESULT STDMETHODCALLTYPE PreUninitialize(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PostUninitialize(DWORD count) override
    {
        countAfter = count;
        return S_OK;
    }

    // The count before the last initialisation, and after the last call.
    std::atomic<DWORD> countBefore{0};
    std::atomic<DWORD> countAfter{0};
};

// The count that COM tells `spy` (registered on this thread) when asked to
// initialise once more; the initialisation is undone when it succeeded.
ULONG probeApartmentDepth(ApartmentSpy& spy)
{
    if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        CoUninitialize();
    return spy.countBefore;
}

} // namespace

void observeCreateDirectory(CreateDirectoryObserver observer, void* context)
{
    createDirectoryObserver = observer;
    createDirectoryContext = context;
}

void overrideMainModuleFileName(const char* path)
{
    mainModuleFileNameOverridden = path != nullptr;
    mainModuleFileName = path ? path : "";
}

void watchLoadedModule(HMODULE module)
{
    if (module)
        redirectImports(module);
}

ULONG apartmentDepth()
{
    ApartmentSpy spy;
    ULARGE_INTEGER cookie{};
    if (FAILED(CoRegisterInitializeSpy(&spy, &cookie)))
        return ~0u;
    const ULONG depth = probeApartmentDepth(spy);
    CoRevokeInitializeSpy(cookie);
    return depth;
}

LONG liveBstrCount()
{
    const std::lock_guard<std::mutex> lock(liveBstrsMutex);
    return static_cast<LONG>(liveBstrs.size());
}

std::string wineVersion()
{
    using WineGetVersion = const char* (*)();
    const auto getVersion = reinterpret_cast<WineGetVersion>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")));
    return getVersion ? getVersion() : "";
}

// The loader tells the modules of the thread's start and end by itself; a spy
// left registered hears the CoUninitialize of their DLL_THREAD_DETACH, which
// comes before COM forgets the thread.
ULONG runHostThread(const std::function<void()>& body)
{
    ApartmentSpy spy;
    bool registered = false;
    std::thread([&] {
        ULARGE_INTEGER cookie{};
        registered = SUCCEEDED(CoRegisterInitializeSpy(&spy, &cookie));
        if (registered)
            probeApartmentDepth(spy);
        body();
    }).join();
    return registered ? spy.countAfter.load() : ~0u;
}

} // namespace test_platform
