// The plumbing every COM class of the component shares: an atomic reference
// count (the object deletes itself at zero), QueryInterface answering
// IUnknown, IDispatch, the class's own interface and ISupportErrorInfo, and
// IDispatch's four operations answering E_NOTIMPL. Objects count towards
// DllCanUnloadNow while alive.
//
// Thread-safety: AddRef / Release / QueryInterface may be called from any
// thread; what the derived class does is its own business.
#ifndef DICOMKIT_COM_OBJECT_H
#define DICOMKIT_COM_OBJECT_H

#include "module_lifetime.h"
#include "toolkit/win32.h"

#include <atomic>

namespace dicomkit {

template <class Interface, const IID& kInterfaceId>
class ComObject : public Interface, public ISupportErrorInfo {
public:
    ComObject() { objectCreated(); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, kInterfaceId)) {
            *object = static_cast<Interface*>(this);
        } else if (IsEqualIID(riid, IID_ISupportErrorInfo)) {
            *object = static_cast<ISupportErrorInfo*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return references_.fetch_add(1, std::memory_order_relaxed) + 1; }

    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG remaining = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (remaining == 0)
            delete this;
        return remaining;
    }

    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override
    {
        return IsEqualIID(riid, kInterfaceId) ? S_OK : S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (count)
            *count = 0;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (info)
            *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

protected:
    virtual ~ComObject() { objectDestroyed(); }

private:
    std::atomic<ULONG> references_{1};
};

// Declares a table placeholder that answers E_NOTIMPL.
#define DICOMKIT_NOT_IMPLEMENTED(n) \
    HRESULT STDMETHODCALLTYPE Reserved##n() override { return E_NOTIMPL; }

} // namespace dicomkit

#endif // DICOMKIT_COM_OBJECT_H
