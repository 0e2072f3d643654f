// IDicomElement; see element.h.
#include "element.h"

#include "error_info.h"
#include "utf8.h"
#include "value_conversion.h"

#include <cstdio>
#include <new>

namespace dicomkit {

namespace {

std::wstring tagText(uint32_t tag)
{
    wchar_t text[16];
    std::swprintf(text, sizeof text / sizeof text[0], L"(%04X,%04X)", tag >> 16, tag & 0xFFFF);
    return text;
}

} // namespace

Element::Element(std::shared_ptr<const LoadedFile> file, const ElementRecord& record)
    : file_(std::move(file)), record_(record)
{
}

HRESULT STDMETHODCALLTYPE Element::GetValueLength(ULONG* length)
{
    if (!length)
        return fail(E_POINTER, toolkit::IID_IDicomElement, L"GetValueLength: no place for the length");
    *length = record_.length;
    return succeed();
}

HRESULT STDMETHODCALLTYPE Element::GetValue(VARIANT* value)
{
    if (!value)
        return fail(E_POINTER, toolkit::IID_IDicomElement, L"GetValue: no place for the value");
    try {
        std::string error;
        const HRESULT hr = elementValue(*file_, record_, value, error);
        if (FAILED(hr)) {
            VariantInit(value);
            if (hr == E_OUTOFMEMORY)
                return fail(hr, toolkit::IID_IDicomElement, L"out of memory");
            return fail(hr, toolkit::IID_IDicomElement,
                        L"cannot decode the value of " + tagText(record_.tag) + L": " + widen(error));
        }
        return succeed();
    } catch (const std::bad_alloc&) {
        VariantInit(value);
        return fail(E_OUTOFMEMORY, toolkit::IID_IDicomElement, L"out of memory");
    } catch (...) {
        // No exception leaves a COM method.
        VariantInit(value);
        return fail(E_UNEXPECTED, toolkit::IID_IDicomElement, L"unexpected failure in GetValue");
    }
}

} // namespace dicomkit
