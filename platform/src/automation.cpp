// oleaut32 part of the stand-in: BSTR allocation and the VARIANT functions.
//
// A BSTR is laid out as on Windows: a 4-byte prefix holding the length in
// bytes, the characters, a terminating 0 character; the BSTR points at the
// first character. VariantChangeType converts to VT_BSTR from the scalar
// types, and copies between identical types; docs/platform-com.md lists what
// it rejects.
//
// Thread-safety: every function is safe to call from any thread on distinct
// arguments; the live-BSTR count is atomic.
#include <windows.h>
#include <platform/testing.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

std::atomic<LONG> liveBstrs{0};

constexpr VARTYPE kVtVector = 0x1000;
constexpr VARTYPE kVtReserved = 0x8000;
constexpr VARTYPE kUnusedVarType = 15;

// The types a VARIANT may carry here: those of Windows without records.
bool isValidVarType(VARTYPE vt)
{
    if (vt & (kVtVector | kVtReserved))
        return false;
    const VARTYPE base = vt & VT_TYPEMASK;
    if (base >= VT_VOID || base == kUnusedVarType)
        return false;
    if ((vt & (VT_BYREF | VT_ARRAY)) && base <= VT_NULL)
        return false;
    return true;
}

BSTR copyBstr(BSTR text) { return SysAllocStringLen(text, SysStringLen(text)); }

// A deep copy of a valid variant into `out` (which is overwritten, not
// cleared): BSTRs duplicated, interfaces AddRef'd, references copied as
// references.
HRESULT copyVariant(VARIANT& out, const VARIANT& src)
{
    if (src.vt & VT_BYREF) {
        out = src;
        return S_OK;
    }
    if (src.vt & VT_ARRAY) {
        if (src.parray)
            return E_NOTIMPL;
        out = src;
        return S_OK;
    }
    switch (src.vt) {
    case VT_BSTR: {
        BSTR copy = nullptr;
        if (src.bstrVal && !(copy = copyBstr(src.bstrVal)))
            return E_OUTOFMEMORY;
        out = src;
        out.bstrVal = copy;
        return S_OK;
    }
    case VT_UNKNOWN:
    case VT_DISPATCH:
        if (src.punkVal)
            src.punkVal->AddRef();
        out = src;
        return S_OK;
    default:
        out = src;
        return S_OK;
    }
}

// The value a by-reference variant points at, as a by-value variant sharing
// its BSTR or interface (not owning it). VT_BYREF | VT_VARIANT is followed
// once.
HRESULT dereference(const VARIANT& src, VARIANT& value)
{
    VariantInit(&value);
    if (!src.byref)
        return E_INVALIDARG;
    const VARTYPE base = src.vt & ~VT_BYREF;
    if (base & VT_ARRAY)
        return DISP_E_TYPEMISMATCH;
    value.vt = base;
    switch (base) {
    case VT_I1: value.cVal = *src.pcVal; break;
    case VT_UI1: value.bVal = *src.pbVal; break;
    case VT_I2: value.iVal = *src.piVal; break;
    case VT_UI2: value.uiVal = *src.puiVal; break;
    case VT_BOOL: value.boolVal = *src.pboolVal; break;
    case VT_I4: value.lVal = *src.plVal; break;
    case VT_UI4: value.ulVal = *src.pulVal; break;
    case VT_ERROR: value.scode = *src.plVal; break;
    case VT_INT: value.intVal = *src.pintVal; break;
    case VT_UINT: value.uintVal = *src.puintVal; break;
    case VT_R4: value.fltVal = *src.pfltVal; break;
    case VT_I8:
    case VT_CY: value.llVal = *src.pllVal; break;
    case VT_UI8: value.ullVal = *src.pullVal; break;
    case VT_R8:
    case VT_DATE: value.dblVal = *src.pdblVal; break;
    case VT_BSTR: value.bstrVal = *src.pbstrVal; break;
    case VT_UNKNOWN: value.punkVal = *src.ppunkVal; break;
    case VT_DISPATCH: value.pdispVal = *src.ppdispVal; break;
    case VT_VARIANT: {
        const VARIANT& inner = *src.pvarVal;
        if (inner.vt == (VT_BYREF | VT_VARIANT) || !isValidVarType(inner.vt))
            return E_INVALIDARG;
        if (inner.vt & VT_BYREF)
            return dereference(inner, value);
        value = inner;
        break;
    }
    default: return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

// Real numbers as Windows writes them without locale digits: `digits`
// significant digits, "E+20" style exponents, no negative zero.
std::string formatReal(double value, int digits)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*G", digits, value);
    if (text[0] == '-' && std::strspn(text + 1, "0.") == std::strlen(text + 1))
        return text + 1;
    return text;
}

std::string formatScalar(const VARIANT& value, USHORT flags, bool& supported)
{
    supported = true;
    switch (value.vt) {
    case VT_EMPTY: return {};
    case VT_I1: return std::to_string(value.cVal);
    case VT_I2: return std::to_string(value.iVal);
    case VT_I4: return std::to_string(value.lVal);
    case VT_I8: return std::to_string(value.llVal);
    case VT_INT: return std::to_string(value.intVal);
    case VT_UI1: return std::to_string(value.bVal);
    case VT_UI2: return std::to_string(value.uiVal);
    case VT_UI4: return std::to_string(value.ulVal);
    case VT_UI8: return std::to_string(value.ullVal);
    case VT_UINT: return std::to_string(value.uintVal);
    case VT_R4: return formatReal(value.fltVal, 7);
    case VT_R8: return formatReal(value.dblVal, 15);
    case VT_BOOL:
        if (flags & VARIANT_ALPHABOOL)
            return value.boolVal ? "True" : "False";
        return std::to_string(value.boolVal);
    default: supported = false; return {};
    }
}

HRESULT toBstr(const VARIANT& value, USHORT flags, BSTR& out)
{
    if (value.vt == VT_BSTR) {
        out = value.bstrVal ? copyBstr(value.bstrVal) : SysAllocStringLen(nullptr, 0);
        return out ? S_OK : E_OUTOFMEMORY;
    }
    bool supported = false;
    const std::string text = formatScalar(value, flags, supported);
    if (!supported)
        return DISP_E_TYPEMISMATCH;
    out = SysAllocStringLen(nullptr, static_cast<UINT>(text.size()));
    if (!out)
        return E_OUTOFMEMORY;
    for (size_t i = 0; i < text.size(); ++i)
        out[i] = static_cast<unsigned char>(text[i]);
    return S_OK;
}

// Converts a valid `src` to `vt` into `result` (a fresh VT_EMPTY variant).
HRESULT convert(const VARIANT& src, USHORT flags, VARTYPE vt, VARIANT& result)
{
    if (vt & (VT_BYREF | VT_ARRAY))
        return DISP_E_TYPEMISMATCH;
    VARIANT value;
    if (src.vt & VT_BYREF) {
        if (HRESULT hr = dereference(src, value); FAILED(hr))
            return hr;
    } else {
        value = src;
    }
    if (value.vt == vt && vt != VT_BSTR)
        return copyVariant(result, value);
    if (vt != VT_BSTR)
        return DISP_E_TYPEMISMATCH;
    BSTR text = nullptr;
    if (HRESULT hr = toBstr(value, flags, text); FAILED(hr))
        return hr;
    result.vt = VT_BSTR;
    result.bstrVal = text;
    return S_OK;
}

} // namespace

// -------------------------------------------------------------------- BSTR
PLATFORM_API BSTR STDAPICALLTYPE SysAllocStringLen(const OLECHAR* strIn, UINT ui)
{
    constexpr UINT kMaxChars = (0xFFFFFFFFu - sizeof(DWORD) - sizeof(OLECHAR)) / sizeof(OLECHAR);
    if (ui > kMaxChars)
        return nullptr;
    const DWORD bytes = ui * sizeof(OLECHAR);
    auto* block = static_cast<unsigned char*>(std::malloc(sizeof(DWORD) + bytes + sizeof(OLECHAR)));
    if (!block)
        return nullptr;
    std::memcpy(block, &bytes, sizeof bytes);
    BSTR text = reinterpret_cast<BSTR>(block + sizeof(DWORD));
    if (strIn)
        std::memcpy(text, strIn, bytes);
    else
        std::memset(text, 0, bytes);
    text[ui] = 0;
    ++liveBstrs;
    return text;
}

PLATFORM_API BSTR STDAPICALLTYPE SysAllocString(const OLECHAR* psz)
{
    if (!psz)
        return nullptr;
    return SysAllocStringLen(psz, static_cast<UINT>(std::wcslen(psz)));
}

PLATFORM_API void STDAPICALLTYPE SysFreeString(BSTR bstrString)
{
    if (!bstrString)
        return;
    --liveBstrs;
    std::free(reinterpret_cast<unsigned char*>(bstrString) - sizeof(DWORD));
}

PLATFORM_API UINT STDAPICALLTYPE SysStringLen(BSTR pbstr)
{
    if (!pbstr)
        return 0;
    DWORD bytes = 0;
    std::memcpy(&bytes, reinterpret_cast<const unsigned char*>(pbstr) - sizeof(DWORD), sizeof bytes);
    return bytes / sizeof(OLECHAR);
}

PLATFORM_API LONG PlatformLiveBstrCount(void) { return liveBstrs.load(); }

// ----------------------------------------------------------------- VARIANT
PLATFORM_API void STDAPICALLTYPE VariantInit(VARIANTARG* pvarg)
{
    pvarg->vt = VT_EMPTY;
    pvarg->wReserved1 = 0;
    pvarg->wReserved2 = 0;
    pvarg->wReserved3 = 0;
}

PLATFORM_API HRESULT STDAPICALLTYPE VariantClear(VARIANTARG* pvarg)
{
    if (!pvarg)
        return E_INVALIDARG;
    if (!isValidVarType(pvarg->vt))
        return DISP_E_BADVARTYPE;
    if (!(pvarg->vt & VT_BYREF)) {
        if (pvarg->vt & VT_ARRAY) {
            if (pvarg->parray)
                return E_NOTIMPL;
        } else if (pvarg->vt == VT_BSTR) {
            SysFreeString(pvarg->bstrVal);
        } else if ((pvarg->vt == VT_UNKNOWN || pvarg->vt == VT_DISPATCH) && pvarg->punkVal) {
            pvarg->punkVal->Release();
        }
    }
    pvarg->vt = VT_EMPTY;
    return S_OK;
}

PLATFORM_API HRESULT STDAPICALLTYPE VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc)
{
    if (!pvargDest || !pvargSrc)
        return E_INVALIDARG;
    if (!isValidVarType(pvargSrc->vt))
        return DISP_E_BADVARTYPE;
    if (pvargDest == pvargSrc)
        return S_OK;
    VARIANT copy;
    if (HRESULT hr = copyVariant(copy, *pvargSrc); FAILED(hr))
        return hr;
    if (HRESULT hr = VariantClear(pvargDest); FAILED(hr)) {
        VariantClear(&copy);
        return hr;
    }
    *pvargDest = copy;
    return S_OK;
}

PLATFORM_API HRESULT STDAPICALLTYPE VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc,
                                                      USHORT wFlags, VARTYPE vt)
{
    if (!pvargDest || !pvarSrc)
        return E_INVALIDARG;
    if (!isValidVarType(pvarSrc->vt) || !isValidVarType(vt))
        return DISP_E_BADVARTYPE;
    VARIANT result;
    VariantInit(&result);
    if (HRESULT hr = convert(*pvarSrc, wFlags, vt, result); FAILED(hr))
        return hr;
    if (HRESULT hr = VariantClear(pvargDest); FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    *pvargDest = result;
    return S_OK;
}
