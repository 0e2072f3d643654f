// Test doubles for reference counting: COM objects that never delete
// themselves and expose their reference count, so a test can prove that the
// platform AddRef'd and Released them in balance. Each starts at 1 (the
// test's own reference). Counts are atomic; objects live on the test's stack.
#pragma once

#include <windows.h>

#include <atomic>

template <class Interface>
class Counted : public Interface {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override { return --references_; }
    ULONG references() const { return references_; }

private:
    std::atomic<ULONG> references_{1};
};

// An object that offers IUnknown only.
class CountedUnknown final : public Counted<IUnknown> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid != IID_IUnknown) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
};
