// The component's exported entry points; see dicomkit/registration.h.
#include "dicomkit/registration.h"

#include "class_factory.h"
#include "module_lifetime.h"
#include "toolkit/interfaces.h"

#include <mutex>

namespace {

std::mutex registrationLock;
DWORD tagDictionaryCookie = 0;
DWORD fileObjectCookie = 0;
bool registered = false;

} // namespace

DICOMKIT_API HRESULT RegisterToolkitClasses(void)
{
    std::lock_guard<std::mutex> guard(registrationLock);
    if (registered)
        return S_FALSE;
    HRESULT hr = CoRegisterClassObject(toolkit::CLSID_TagDictionary, dicomkit::tagDictionaryClassObject(),
                                       CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &tagDictionaryCookie);
    if (FAILED(hr))
        return hr;
    hr = CoRegisterClassObject(toolkit::CLSID_DicomFileObject, dicomkit::fileObjectClassObject(),
                               CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &fileObjectCookie);
    if (FAILED(hr)) {
        CoRevokeClassObject(tagDictionaryCookie);
        return hr;
    }
    registered = true;
    return S_OK;
}

DICOMKIT_API HRESULT RevokeToolkitClasses(void)
{
    std::lock_guard<std::mutex> guard(registrationLock);
    if (!registered)
        return S_FALSE;
    registered = false;
    const HRESULT first = CoRevokeClassObject(tagDictionaryCookie);
    const HRESULT second = CoRevokeClassObject(fileObjectCookie);
    return FAILED(first) ? first : FAILED(second) ? second : S_OK;
}

DICOMKIT_API HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    IClassFactory* factory = dicomkit::classObjectFor(rclsid);
    if (!factory)
        return CLASS_E_CLASSNOTAVAILABLE;
    return factory->QueryInterface(riid, ppv);
}

DICOMKIT_API HRESULT DllCanUnloadNow(void) { return dicomkit::moduleIdle() ? S_OK : S_FALSE; }
