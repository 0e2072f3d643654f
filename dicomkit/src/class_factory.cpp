// Class objects of the component; see class_factory.h.
#include "class_factory.h"

#include "file_object.h"
#include "module_lifetime.h"
#include "tag_dictionary.h"
#include "toolkit/interfaces.h"

#include <atomic>
#include <new>

namespace dicomkit {

namespace {

template <class Object>
class ClassFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return references_.fetch_add(1) + 1; }
    ULONG STDMETHODCALLTYPE Release() override { return references_.fetch_sub(1) - 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto* created = new (std::nothrow) Object();
        if (!created)
            return E_OUTOFMEMORY;
        const HRESULT hr = created->QueryInterface(riid, object);
        created->Release();
        return hr;
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        if (lock)
            serverLocked();
        else
            serverUnlocked();
        return S_OK;
    }

private:
    std::atomic<ULONG> references_{1};
};

ClassFactory<TagDictionary> tagDictionaryFactory;
ClassFactory<FileObject> fileObjectFactory;

} // namespace

IClassFactory* tagDictionaryClassObject() { return &tagDictionaryFactory; }
IClassFactory* fileObjectClassObject() { return &fileObjectFactory; }

IClassFactory* classObjectFor(REFCLSID clsid)
{
    if (IsEqualCLSID(clsid, toolkit::CLSID_TagDictionary))
        return &tagDictionaryFactory;
    if (IsEqualCLSID(clsid, toolkit::CLSID_DicomFileObject))
        return &fileObjectFactory;
    return nullptr;
}

} // namespace dicomkit
