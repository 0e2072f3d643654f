// ole32 part of the stand-in: per-thread apartments, the process-wide class
// table, CoCreateInstance, per-thread error info and the error info object.
//
// Thread-safety: apartment state and the error info slot belong to the
// calling thread (thread_local); the class table is guarded by one mutex, and
// no call into a registered object is made while it is held.
#include <windows.h>
#include <platform/testing.h>

#include <atomic>
#include <mutex>
#include <new>
#include <vector>

PLATFORM_API const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
PLATFORM_API const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
PLATFORM_API const IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
PLATFORM_API const IID IID_ISupportErrorInfo = {
    0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
PLATFORM_API const IID IID_IErrorInfo = {0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
PLATFORM_API const IID IID_ICreateErrorInfo = {
    0x22F03340, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
PLATFORM_API const IID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

namespace {

// ------------------------------------------------------------- apartments
// The error info slot is not released when a thread ends without leaving its
// apartment: the object may belong to a module already unloaded by then, and
// Windows leaks it in that case too.
struct ThreadComState {
    ULONG depth = 0;
    DWORD mode = COINIT_MULTITHREADED;
    IErrorInfo* errorInfo = nullptr;
};
thread_local ThreadComState threadState;

bool inApartment() { return threadState.depth > 0; }

void replaceErrorInfo(IErrorInfo* info)
{
    if (info)
        info->AddRef();
    IErrorInfo* previous = threadState.errorInfo;
    threadState.errorInfo = info;
    if (previous)
        previous->Release();
}

// ------------------------------------------------------------ class table
struct Registration {
    DWORD cookie;
    CLSID clsid;
    IUnknown* object;
};

class ClassTable {
public:
    DWORD add(REFCLSID clsid, IUnknown* object)
    {
        object->AddRef();
        std::lock_guard lock(mutex_);
        if (++lastCookie_ == 0)
            ++lastCookie_;
        entries_.push_back({lastCookie_, clsid, object});
        return lastCookie_;
    }

    // The registered object, removed from the table; nullptr for an unknown
    // cookie. The caller releases it, outside the lock.
    IUnknown* remove(DWORD cookie)
    {
        std::lock_guard lock(mutex_);
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->cookie == cookie) {
                IUnknown* object = it->object;
                entries_.erase(it);
                return object;
            }
        }
        return nullptr;
    }

    // An AddRef'd reference to the newest registration of the class, or
    // nullptr.
    IUnknown* find(REFCLSID clsid)
    {
        std::lock_guard lock(mutex_);
        for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
            if (it->clsid == clsid) {
                it->object->AddRef();
                return it->object;
            }
        }
        return nullptr;
    }

private:
    std::mutex mutex_;
    std::vector<Registration> entries_;
    DWORD lastCookie_ = 0;
};

ClassTable& classTable()
{
    static ClassTable* table = new ClassTable; // never destroyed: modules may revoke during exit
    return *table;
}

// ------------------------------------------------------ error info object
class ErrorInfo final : public IErrorInfo, public ICreateErrorInfo {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IErrorInfo)
            *ppv = static_cast<IErrorInfo*>(this);
        else if (riid == IID_ICreateErrorInfo)
            *ppv = static_cast<ICreateErrorInfo*>(this);
        else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetGUID(GUID* guid) override
    {
        if (!guid)
            return E_INVALIDARG;
        std::lock_guard lock(mutex_);
        *guid = guid_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSource(BSTR* out) override { return copyOut(source_, out); }
    HRESULT STDMETHODCALLTYPE GetDescription(BSTR* out) override { return copyOut(description_, out); }
    HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* out) override { return copyOut(helpFile_, out); }
    HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* context) override
    {
        if (!context)
            return E_INVALIDARG;
        std::lock_guard lock(mutex_);
        *context = helpContext_;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE SetGUID(REFGUID guid) override
    {
        std::lock_guard lock(mutex_);
        guid_ = guid;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR text) override { return store(source_, text); }
    HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR text) override { return store(description_, text); }
    HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR text) override { return store(helpFile_, text); }
    HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD context) override
    {
        std::lock_guard lock(mutex_);
        helpContext_ = context;
        return S_OK;
    }

private:
    ~ErrorInfo()
    {
        SysFreeString(source_);
        SysFreeString(description_);
        SysFreeString(helpFile_);
    }

    HRESULT copyOut(BSTR field, BSTR* out)
    {
        if (!out)
            return E_INVALIDARG;
        std::lock_guard lock(mutex_);
        *out = field ? SysAllocStringLen(field, SysStringLen(field)) : nullptr;
        return field && !*out ? E_OUTOFMEMORY : S_OK;
    }

    HRESULT store(BSTR& field, LPOLESTR text)
    {
        BSTR copy = SysAllocString(text);
        if (text && !copy)
            return E_OUTOFMEMORY;
        std::lock_guard lock(mutex_);
        SysFreeString(field);
        field = copy;
        return S_OK;
    }

    std::atomic<ULONG> references_{1};
    std::mutex mutex_;
    GUID guid_ = GUID_NULL;
    BSTR source_ = nullptr;
    BSTR description_ = nullptr;
    BSTR helpFile_ = nullptr;
    DWORD helpContext_ = 0;
};

} // namespace

// ------------------------------------------------------------- apartments
PLATFORM_API HRESULT STDAPICALLTYPE CoInitializeEx(LPVOID, DWORD dwCoInit)
{
    const DWORD mode = dwCoInit & COINIT_APARTMENTTHREADED;
    if (threadState.depth == 0) {
        threadState.mode = mode;
        threadState.depth = 1;
        return S_OK;
    }
    if (threadState.mode != mode)
        return RPC_E_CHANGED_MODE;
    ++threadState.depth;
    return S_FALSE;
}

PLATFORM_API HRESULT STDAPICALLTYPE CoInitialize(LPVOID pvReserved)
{
    return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

PLATFORM_API void STDAPICALLTYPE CoUninitialize(void)
{
    if (threadState.depth == 0)
        return;
    if (--threadState.depth == 0)
        replaceErrorInfo(nullptr);
}

PLATFORM_API ULONG PlatformApartmentDepth(void) { return threadState.depth; }

// ------------------------------------------------------------ class table
PLATFORM_API HRESULT STDAPICALLTYPE CoRegisterClassObject(REFCLSID rclsid, LPUNKNOWN pUnk, DWORD, DWORD,
                                                          LPDWORD lpdwRegister)
{
    if (!pUnk || !lpdwRegister)
        return E_INVALIDARG;
    *lpdwRegister = 0;
    if (!inApartment())
        return CO_E_NOTINITIALIZED;
    *lpdwRegister = classTable().add(rclsid, pUnk);
    return S_OK;
}

PLATFORM_API HRESULT STDAPICALLTYPE CoRevokeClassObject(DWORD dwRegister)
{
    if (!inApartment())
        return CO_E_NOTINITIALIZED;
    IUnknown* object = classTable().remove(dwRegister);
    if (!object)
        return CO_E_OBJNOTREG;
    object->Release();
    return S_OK;
}

PLATFORM_API HRESULT STDAPICALLTYPE CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD, REFIID riid,
                                                     LPVOID* ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!inApartment())
        return CO_E_NOTINITIALIZED;
    IUnknown* classObject = classTable().find(rclsid);
    if (!classObject)
        return REGDB_E_CLASSNOTREG;
    IClassFactory* factory = nullptr;
    HRESULT hr = classObject->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&factory));
    classObject->Release();
    if (FAILED(hr))
        return hr;
    if (!factory)
        return E_NOINTERFACE;
    hr = factory->CreateInstance(pUnkOuter, riid, ppv);
    factory->Release();
    return hr;
}

PLATFORM_API HRESULT STDAPICALLTYPE OleRun(LPUNKNOWN pUnknown) { return pUnknown ? S_OK : E_INVALIDARG; }

// ------------------------------------------------------------- error info
PLATFORM_API HRESULT STDAPICALLTYPE SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo)
{
    if (dwReserved != 0)
        return E_INVALIDARG;
    replaceErrorInfo(perrinfo);
    return S_OK;
}

PLATFORM_API HRESULT STDAPICALLTYPE GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo)
{
    if (dwReserved != 0 || !pperrinfo)
        return E_INVALIDARG;
    *pperrinfo = threadState.errorInfo;
    threadState.errorInfo = nullptr;
    return *pperrinfo ? S_OK : S_FALSE;
}

PLATFORM_API HRESULT STDAPICALLTYPE CreateErrorInfo(ICreateErrorInfo** pperrinfo)
{
    if (!pperrinfo)
        return E_INVALIDARG;
    *pperrinfo = new (std::nothrow) ErrorInfo;
    return *pperrinfo ? S_OK : E_OUTOFMEMORY;
}
