// Error info for failing operations; see error_info.h.
#include "error_info.h"

namespace dicomkit {

namespace {

constexpr const wchar_t kSource[] = L"DicomToolkit";

} // namespace

HRESULT fail(HRESULT hr, REFIID iid, std::wstring_view description)
{
    ICreateErrorInfo* create = nullptr;
    if (FAILED(CreateErrorInfo(&create)) || !create)
        return hr;
    std::wstring source(kSource);
    std::wstring text(description);
    create->SetGUID(iid);
    create->SetSource(source.data());
    create->SetDescription(text.data());
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info))) && info) {
        SetErrorInfo(0, info);
        info->Release();
    }
    create->Release();
    return hr;
}

HRESULT succeed()
{
    SetErrorInfo(0, nullptr);
    return S_OK;
}

} // namespace dicomkit
