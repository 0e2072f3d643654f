#include "toolkit/com_error.h"

#include "toolkit/automation.h"
#include "toolkit/com_ptr.h"

namespace toolkit {

ComError::ComError(HRESULT code, std::wstring description)
    : code_(code), description_(std::move(description))
{
}

namespace {

// The description of the failure that `object` just reported through `iid`,
// or the empty text when it reports none.
std::wstring toolkitDescription(IUnknown* object, REFIID iid)
{
    if (!object)
        return {};
    ComPtr<ISupportErrorInfo> support;
    if (object->QueryInterface(IID_ISupportErrorInfo, support.receiveVoid()) != S_OK || !support)
        return {};
    if (support->InterfaceSupportsErrorInfo(iid) != S_OK)
        return {};
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.receive()) != S_OK || !info)
        return {};
    BSTR received = nullptr;
    const HRESULT result = info->GetDescription(&received);
    const Bstr description = Bstr::adopt(received);
    if (FAILED(result) || !description.get())
        return {};
    return std::wstring(description.get(), description.length());
}

} // namespace

void raiseToolkitFailure(HRESULT code, IUnknown* object, REFIID iid)
{
    throw ComError(code, toolkitDescription(object, iid));
}

} // namespace toolkit
