#include "fake_toolkit.h"

#include <mutex>
#include <stdexcept>

namespace fakes {

namespace {

std::atomic<long> liveObjects{0};
// Guards the behaviours' call records when several threads use the fakes.
std::mutex recordsMutex;

// Reference counting and the object census shared by every fake.
class Counted {
public:
    Counted() { ++liveObjects; }
    virtual ~Counted() { --liveObjects; }

protected:
    ULONG addRef() { return ++references_; }
    ULONG release()
    {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

private:
    std::atomic<ULONG> references_{1};
};

#define FAKE_IUNKNOWN                                                                                   \
    ULONG STDMETHODCALLTYPE AddRef() override { return addRef(); }                                      \
    ULONG STDMETHODCALLTYPE Release() override { return release(); }

#define FAKE_IDISPATCH                                                                                  \
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }                    \
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }       \
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override            \
    {                                                                                                   \
        return E_NOTIMPL;                                                                               \
    }                                                                                                   \
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,     \
                                     UINT*) override                                                    \
    {                                                                                                   \
        return E_NOTIMPL;                                                                               \
    }

#define FAKE_RESERVED(n)                                                                                \
    HRESULT STDMETHODCALLTYPE Reserved##n() override { return E_NOTIMPL; }

class FakeElement final : public toolkit::IDicomElement, private Counted {
public:
    explicit FakeElement(const FakeAttribute& attribute) : attribute_(attribute) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == toolkit::IID_IDicomElement) {
            *object = static_cast<toolkit::IDicomElement*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    FAKE_IUNKNOWN
    FAKE_IDISPATCH
    FAKE_RESERVED(07)
    FAKE_RESERVED(08)
    FAKE_RESERVED(09)
    FAKE_RESERVED(10)
    FAKE_RESERVED(12)

    HRESULT STDMETHODCALLTYPE GetValueLength(ULONG* length) override
    {
        if (FAILED(attribute_.lengthResult))
            return attribute_.lengthResult;
        *length = attribute_.length;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetValue(VARIANT* value) override
    {
        if (FAILED(attribute_.valueResult))
            return attribute_.valueResult;
        if (attribute_.value)
            attribute_.value(value);
        return S_OK;
    }

private:
    const FakeAttribute attribute_;
};

// A fake that reports errors for its own interface `Interface` (id `OwnIid`)
// through ISupportErrorInfo, as the component's objects do.
template <typename Interface, const IID* OwnIid>
class ReportingFake : public Interface, public ISupportErrorInfo, protected Counted {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == *OwnIid) {
            *object = static_cast<Interface*>(this);
        } else if (iid == IID_ISupportErrorInfo) {
            *object = static_cast<ISupportErrorInfo*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    FAKE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override
    {
        return iid == *OwnIid ? S_OK : S_FALSE;
    }
};

class FakeFileObject final : public ReportingFake<toolkit::IDicomFileObject, &toolkit::IID_IDicomFileObject> {
public:
    explicit FakeFileObject(FileBehaviour& behaviour) : behaviour_(behaviour) {}

    FAKE_IDISPATCH
    FAKE_RESERVED(07)
    FAKE_RESERVED(08)
    FAKE_RESERVED(09)
    FAKE_RESERVED(10)
    FAKE_RESERVED(11)
    FAKE_RESERVED(13)
    FAKE_RESERVED(14)
    FAKE_RESERVED(15)
    FAKE_RESERVED(16)
    FAKE_RESERVED(17)
    FAKE_RESERVED(18)
    FAKE_RESERVED(19)
    FAKE_RESERVED(20)
    FAKE_RESERVED(21)
    FAKE_RESERVED(22)
    FAKE_RESERVED(23)
    FAKE_RESERVED(24)
    FAKE_RESERVED(25)
    FAKE_RESERVED(26)
    FAKE_RESERVED(27)
    FAKE_RESERVED(28)
    FAKE_RESERVED(29)
    FAKE_RESERVED(30)
    FAKE_RESERVED(31)
    FAKE_RESERVED(32)
    FAKE_RESERVED(33)
    FAKE_RESERVED(34)
    FAKE_RESERVED(35)
    FAKE_RESERVED(36)
    FAKE_RESERVED(37)
    FAKE_RESERVED(38)
    FAKE_RESERVED(39)
    FAKE_RESERVED(40)

    HRESULT STDMETHODCALLTYPE LoadFile(BSTR path) override
    {
        {
            const std::lock_guard<std::mutex> lock(recordsMutex);
            behaviour_.loadedPaths.emplace_back(path ? std::wstring(path, SysStringLen(path)) : std::wstring());
        }
        if (FAILED(behaviour_.loadResult)) {
            if (!behaviour_.loadDescription.empty())
                reportError(behaviour_.loadDescription);
            return behaviour_.loadResult;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE FindElement(LONG tag, toolkit::IDicomElement** element) override
    {
        {
            const std::lock_guard<std::mutex> lock(recordsMutex);
            behaviour_.findCalls.push_back(tag);
        }
        const auto found = behaviour_.attributes.find(tag);
        if (found == behaviour_.attributes.end())
            return S_OK;
        if (FAILED(found->second.findResult))
            return found->second.findResult;
        *element = new FakeElement(found->second);
        return S_OK;
    }

private:
    FileBehaviour& behaviour_;
};

class FakeDictionary final : public ReportingFake<toolkit::ITagDictionary, &toolkit::IID_ITagDictionary> {
public:
    explicit FakeDictionary(DictionaryBehaviour& behaviour) : behaviour_(behaviour) {}

    FAKE_IDISPATCH

    HRESULT STDMETHODCALLTYPE TagFromKeyword(BSTR keyword, LONG* tag) override
    {
        std::string word(4 * SysStringLen(keyword), '\0');
        word.resize(keyword && SysStringLen(keyword) > 0
                        ? WideCharToMultiByte(CP_UTF8, 0, keyword, static_cast<int>(SysStringLen(keyword)),
                                              word.data(), static_cast<int>(word.size()), nullptr, nullptr)
                        : 0);
        behaviour_.lookups.push_back(word);
        if (behaviour_.failAtLookup == static_cast<int>(behaviour_.lookups.size())) {
            reportError(behaviour_.failureDescription);
            return behaviour_.failure;
        }
        const auto found = behaviour_.tags.find(word);
        *tag = found == behaviour_.tags.end() ? 0 : found->second;
        return S_OK;
    }

private:
    DictionaryBehaviour& behaviour_;
};

} // namespace

class FakeFactory final : public IClassFactory, private Counted {
public:
    FakeFactory(FakeToolkit& toolkit, bool dictionary) : toolkit_(toolkit), dictionary_(dictionary) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    FAKE_IUNKNOWN

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        const HRESULT creation = dictionary_ ? toolkit_.dictionaryCreation : toolkit_.fileCreation;
        if (FAILED(creation))
            return creation;
        IUnknown* created;
        if (dictionary_) {
            created = static_cast<toolkit::ITagDictionary*>(new FakeDictionary(toolkit_.dictionary));
            ++toolkit_.dictionariesCreated_;
        } else {
            created = static_cast<toolkit::IDicomFileObject*>(new FakeFileObject(toolkit_.file));
            ++toolkit_.filesCreated_;
        }
        const HRESULT result = created->QueryInterface(iid, object);
        created->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    FakeToolkit& toolkit_;
    const bool dictionary_;
};

long liveFakeObjects() { return liveObjects; }

void reportError(const std::wstring& description)
{
    ICreateErrorInfo* creator = nullptr;
    if (FAILED(CreateErrorInfo(&creator)))
        throw std::runtime_error("CreateErrorInfo failed");
    creator->SetDescription(const_cast<LPOLESTR>(description.c_str()));
    IErrorInfo* info = nullptr;
    creator->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
    SetErrorInfo(0, info);
    info->Release();
    creator->Release();
}

FakeAttribute textAttribute(const std::wstring& text)
{
    return textAttribute(text, static_cast<ULONG>(text.size()));
}

FakeAttribute textAttribute(const std::wstring& text, ULONG length)
{
    FakeAttribute attribute;
    attribute.length = length;
    attribute.value = [text](VARIANT* value) {
        value->vt = VT_BSTR;
        value->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    };
    return attribute;
}

FakeAttribute variantAttribute(std::function<void(VARIANT*)> fill, ULONG length)
{
    FakeAttribute attribute;
    attribute.length = length;
    attribute.value = std::move(fill);
    return attribute;
}

FakeToolkit::FakeToolkit() { registerClasses(); }

FakeToolkit::~FakeToolkit() { revokeClasses(); }

void FakeToolkit::registerClasses()
{
    revokeClasses();
    registerFactories(cookies_);
}

void FakeToolkit::revokeClasses()
{
    for (DWORD cookie : cookies_)
        CoRevokeClassObject(cookie);
    cookies_.clear();
}

void FakeToolkit::registerFactories(std::vector<DWORD>& cookies)
{
    const auto registerOne = [&](REFCLSID clsid, bool dictionary) {
        auto* factory = new FakeFactory(*this, dictionary);
        DWORD cookie = 0;
        const HRESULT result = CoRegisterClassObject(clsid, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                                     &cookie);
        factory->Release();
        if (FAILED(result))
            throw std::runtime_error("CoRegisterClassObject failed");
        cookies.push_back(cookie);
    };
    if (registerDictionary)
        registerOne(toolkit::CLSID_TagDictionary, true);
    if (registerFile)
        registerOne(toolkit::CLSID_DicomFileObject, false);
}

ApartmentRegistration::ApartmentRegistration(FakeToolkit& toolkit) { toolkit.registerFactories(cookies_); }

ApartmentRegistration::~ApartmentRegistration()
{
    for (DWORD cookie : cookies_)
        CoRevokeClassObject(cookie);
}

} // namespace fakes
