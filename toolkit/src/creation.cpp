#include "toolkit/creation.h"

namespace toolkit {

void createToolkitObject(REFCLSID clsid, REFIID iid, /*out*/ void** object)
{
    *object = nullptr;
    ComPtr<IUnknown> unknown;
    HRESULT result = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown, unknown.receiveVoid());
    if (SUCCEEDED(result))
        result = OleRun(unknown.get());
    if (SUCCEEDED(result))
        result = unknown->QueryInterface(iid, object);
    if (FAILED(result)) {
        // A QueryInterface that failed may still have written its slot.
        *object = nullptr;
        if (result != E_NOINTERFACE)
            throw ComError(result);
    }
}

} // namespace toolkit
