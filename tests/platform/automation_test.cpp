// BSTR allocation and the VARIANT functions of the platform stand-in. Every
// test checks, through the live-BSTR count, that it freed what it allocated.
#include <windows.h>
#include <platform/testing.h>

#include "counted_object.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>
#include <string>

namespace {

std::wstring text(BSTR value) { return value ? std::wstring(value, SysStringLen(value)) : std::wstring(); }

class Automation : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(PlatformLiveBstrCount(), bstrsBefore_) << "a BSTR was leaked"; }

private:
    LONG bstrsBefore_ = PlatformLiveBstrCount();
};

// -------------------------------------------------------------------- BSTR
TEST_F(Automation, BstrKeepsItsLengthInAPrefixAndATerminator)
{
    BSTR value = SysAllocString(L"abc");
    ASSERT_NE(value, nullptr);
    DWORD prefix = 0;
    std::memcpy(&prefix, reinterpret_cast<const char*>(value) - sizeof prefix, sizeof prefix);
    EXPECT_EQ(prefix, 3 * sizeof(OLECHAR));
    EXPECT_EQ(SysStringLen(value), 3u);
    EXPECT_EQ(value[3], L'\0');
    SysFreeString(value);
}

TEST_F(Automation, BstrLengths)
{
    const wchar_t withNul[] = {L'a', L'\0', L'b', L'c', L'\0'};
    struct Row {
        const char* name;
        std::function<BSTR()> make;
        UINT length;
        std::optional<std::wstring> content; // unset: contents unspecified
    };
    const Row rows[] = {
        {"SysAllocString copies up to the first NUL", [&] { return SysAllocString(withNul); }, 1, L"a"},
        {"SysAllocStringLen keeps embedded NULs", [&] { return SysAllocStringLen(withNul, 4); }, 4,
         std::wstring(withNul, 4)},
        {"empty string", [] { return SysAllocString(L""); }, 0, L""},
        {"SysAllocStringLen of nothing", [] { return SysAllocStringLen(nullptr, 0); }, 0, L""},
        {"SysAllocStringLen without a source", [] { return SysAllocStringLen(nullptr, 5); }, 5, std::nullopt},
    };
    for (const Row& row : rows) {
        BSTR value = row.make();
        ASSERT_NE(value, nullptr) << row.name;
        EXPECT_EQ(SysStringLen(value), row.length) << row.name;
        EXPECT_EQ(value[row.length], L'\0') << row.name;
        if (row.content) {
            EXPECT_EQ(text(value), *row.content) << row.name;
        }
        SysFreeString(value);
    }
}

TEST_F(Automation, NullBstrs)
{
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
}

TEST_F(Automation, LiveCountFollowsAllocationAndFree)
{
    const LONG before = PlatformLiveBstrCount();
    BSTR a = SysAllocString(L"a");
    BSTR b = SysAllocStringLen(nullptr, 3);
    EXPECT_EQ(PlatformLiveBstrCount(), before + 2);
    SysFreeString(a);
    SysFreeString(b);
    EXPECT_EQ(PlatformLiveBstrCount(), before);
}

// ----------------------------------------------------------------- VARIANT
TEST_F(Automation, VariantInitEmptiesTheHeader)
{
    VARIANT v;
    std::memset(&v, 0xAB, sizeof v);
    VariantInit(&v);
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(v.wReserved1, 0);
    EXPECT_EQ(v.wReserved2, 0);
    EXPECT_EQ(v.wReserved3, 0);
}

TEST_F(Automation, VariantClearReleasesWhatTheVariantOwns)
{
    CountedUnknown object;
    VARIANT v;
    VariantInit(&v);

    v.vt = VT_UNKNOWN;
    v.punkVal = &object;
    object.AddRef();
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(object.references(), 1u);

    v.vt = VT_DISPATCH;
    v.pdispVal = nullptr;
    EXPECT_EQ(VariantClear(&v), S_OK);

    IUnknown* referenced = &object;
    v.vt = VT_BYREF | VT_UNKNOWN;
    v.ppunkVal = &referenced;
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(object.references(), 1u) << "a reference owns nothing";

    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(L"owned");
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
}

TEST_F(Automation, VariantClearRefusesUnknownTypes)
{
    for (VARTYPE vt : {VARTYPE(15), VARTYPE(VT_VOID), VARTYPE(0x1000 | VT_I4), VARTYPE(VT_BYREF | VT_EMPTY)}) {
        VARIANT v;
        VariantInit(&v);
        v.vt = vt;
        v.lVal = 7;
        EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE) << "vt " << vt;
        EXPECT_EQ(v.vt, vt) << "vt " << vt;
        EXPECT_EQ(v.lVal, 7) << "vt " << vt;
    }
}

TEST_F(Automation, VariantCopyDuplicatesBstrsAndAddRefsInterfaces)
{
    CountedUnknown object;
    VARIANT source;
    VariantInit(&source);
    source.vt = VT_BSTR;
    source.bstrVal = SysAllocString(L"text");
    VARIANT copy;
    VariantInit(&copy);

    ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
    EXPECT_EQ(copy.vt, VT_BSTR);
    EXPECT_NE(copy.bstrVal, source.bstrVal);
    EXPECT_EQ(text(copy.bstrVal), L"text");

    VariantClear(&source);
    source.vt = VT_UNKNOWN;
    source.punkVal = &object;
    object.AddRef();
    ASSERT_EQ(VariantCopy(&copy, &source), S_OK) << "the BSTR in the destination is freed first";
    EXPECT_EQ(copy.punkVal, &object);
    EXPECT_EQ(object.references(), 3u);

    LONG number = 5;
    VariantClear(&source);
    source.vt = VT_BYREF | VT_I4;
    source.plVal = &number;
    ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
    EXPECT_EQ(object.references(), 1u);
    EXPECT_EQ(copy.vt, VT_BYREF | VT_I4);
    EXPECT_EQ(copy.plVal, &number);
}

// A source variant for VariantChangeType. By-reference rows point into
// `storage`, which outlives the conversion.
struct Storage {
    CHAR i1 = -5;
    LONG i4 = -123456;
    ULONG ui4 = 4000000000u;
    DOUBLE r8 = 2.5;
    VARIANT_BOOL boolean = VARIANT_TRUE;
    BSTR bstr = nullptr;
    VARIANT inner{};
};

TEST_F(Automation, VariantChangeTypeToBstr)
{
    Storage storage;
    storage.bstr = SysAllocString(L"referenced");
    VariantInit(&storage.inner);
    storage.inner.vt = VT_I2;
    storage.inner.iVal = 77;
    CountedUnknown object;

    struct Row {
        const char* name;
        std::function<void(VARIANT&)> set;
        USHORT flags;
        HRESULT expected;
        std::wstring text;
    };
    const Row rows[] = {
        {"empty", [](VARIANT& v) { v.vt = VT_EMPTY; }, 0, S_OK, L""},
        {"I1", [](VARIANT& v) { v.vt = VT_I1, v.cVal = -128; }, 0, S_OK, L"-128"},
        {"I2", [](VARIANT& v) { v.vt = VT_I2, v.iVal = -32768; }, 0, S_OK, L"-32768"},
        {"I4", [](VARIANT& v) { v.vt = VT_I4, v.lVal = -2147483647 - 1; }, 0, S_OK, L"-2147483648"},
        {"I8", [](VARIANT& v) { v.vt = VT_I8, v.llVal = -9223372036854775807LL - 1; }, 0, S_OK,
         L"-9223372036854775808"},
        {"INT", [](VARIANT& v) { v.vt = VT_INT, v.intVal = 42; }, 0, S_OK, L"42"},
        {"UI1", [](VARIANT& v) { v.vt = VT_UI1, v.bVal = 255; }, 0, S_OK, L"255"},
        {"UI2", [](VARIANT& v) { v.vt = VT_UI2, v.uiVal = 65535; }, 0, S_OK, L"65535"},
        {"UI4", [](VARIANT& v) { v.vt = VT_UI4, v.ulVal = 4294967295u; }, 0, S_OK, L"4294967295"},
        {"UI8", [](VARIANT& v) { v.vt = VT_UI8, v.ullVal = 18446744073709551615ull; }, 0, S_OK,
         L"18446744073709551615"},
        {"UINT", [](VARIANT& v) { v.vt = VT_UINT, v.uintVal = 7; }, 0, S_OK, L"7"},
        {"R4 keeps 7 digits", [](VARIANT& v) { v.vt = VT_R4, v.fltVal = 1.0f / 3.0f; }, 0, S_OK, L"0.3333333"},
        {"R4 tenth", [](VARIANT& v) { v.vt = VT_R4, v.fltVal = 0.1f; }, 0, S_OK, L"0.1"},
        {"R8 tenth", [](VARIANT& v) { v.vt = VT_R8, v.dblVal = 0.1; }, 0, S_OK, L"0.1"},
        {"R8 keeps 15 digits", [](VARIANT& v) { v.vt = VT_R8, v.dblVal = 2.0 / 3.0; }, 0, S_OK,
         L"0.666666666666667"},
        {"R8 large", [](VARIANT& v) { v.vt = VT_R8, v.dblVal = 1e20; }, 0, S_OK, L"1E+20"},
        {"R8 small", [](VARIANT& v) { v.vt = VT_R8, v.dblVal = -1.5e-7; }, 0, S_OK, L"-1.5E-07"},
        {"R8 integral", [](VARIANT& v) { v.vt = VT_R8, v.dblVal = 12345; }, 0, S_OK, L"12345"},
        {"R8 negative zero", [](VARIANT& v) { v.vt = VT_R8, v.dblVal = -0.0; }, 0, S_OK, L"0"},
        {"BOOL true", [](VARIANT& v) { v.vt = VT_BOOL, v.boolVal = VARIANT_TRUE; }, 0, S_OK, L"-1"},
        {"BOOL false", [](VARIANT& v) { v.vt = VT_BOOL, v.boolVal = VARIANT_FALSE; }, 0, S_OK, L"0"},
        {"BOOL true alpha", [](VARIANT& v) { v.vt = VT_BOOL, v.boolVal = VARIANT_TRUE; }, VARIANT_ALPHABOOL, S_OK,
         L"True"},
        {"BOOL false alpha", [](VARIANT& v) { v.vt = VT_BOOL, v.boolVal = VARIANT_FALSE; }, VARIANT_ALPHABOOL, S_OK,
         L"False"},
        {"BSTR", [&](VARIANT& v) { v.vt = VT_BSTR, v.bstrVal = storage.bstr; }, 0, S_OK, L"referenced"},
        {"null BSTR", [](VARIANT& v) { v.vt = VT_BSTR, v.bstrVal = nullptr; }, 0, S_OK, L""},
        {"by-ref I1", [&](VARIANT& v) { v.vt = VT_BYREF | VT_I1, v.pcVal = &storage.i1; }, 0, S_OK, L"-5"},
        {"by-ref I4", [&](VARIANT& v) { v.vt = VT_BYREF | VT_I4, v.plVal = &storage.i4; }, 0, S_OK, L"-123456"},
        {"by-ref UI4", [&](VARIANT& v) { v.vt = VT_BYREF | VT_UI4, v.pulVal = &storage.ui4; }, 0, S_OK,
         L"4000000000"},
        {"by-ref R8", [&](VARIANT& v) { v.vt = VT_BYREF | VT_R8, v.pdblVal = &storage.r8; }, 0, S_OK, L"2.5"},
        {"by-ref BOOL", [&](VARIANT& v) { v.vt = VT_BYREF | VT_BOOL, v.pboolVal = &storage.boolean; },
         VARIANT_ALPHABOOL, S_OK, L"True"},
        {"by-ref BSTR", [&](VARIANT& v) { v.vt = VT_BYREF | VT_BSTR, v.pbstrVal = &storage.bstr; }, 0, S_OK,
         L"referenced"},
        {"by-ref VARIANT", [&](VARIANT& v) { v.vt = VT_BYREF | VT_VARIANT, v.pvarVal = &storage.inner; }, 0, S_OK,
         L"77"},
        {"NULL", [](VARIANT& v) { v.vt = VT_NULL; }, 0, DISP_E_TYPEMISMATCH, L""},
        {"ERROR", [](VARIANT& v) { v.vt = VT_ERROR, v.scode = E_FAIL; }, 0, DISP_E_TYPEMISMATCH, L""},
        {"UNKNOWN", [&](VARIANT& v) { v.vt = VT_UNKNOWN, v.punkVal = &object; }, 0, DISP_E_TYPEMISMATCH, L""},
        {"DISPATCH", [](VARIANT& v) { v.vt = VT_DISPATCH, v.pdispVal = nullptr; }, 0, DISP_E_TYPEMISMATCH, L""},
        {"array", [](VARIANT& v) { v.vt = VT_ARRAY | VT_I4, v.parray = nullptr; }, 0, DISP_E_TYPEMISMATCH, L""},
        {"CY", [](VARIANT& v) { v.vt = VT_CY, v.llVal = 10000; }, 0, DISP_E_TYPEMISMATCH, L""},
        {"by-ref UNKNOWN", [&](VARIANT& v) { v.vt = VT_BYREF | VT_UNKNOWN, v.ppunkVal = nullptr; }, 0, E_INVALIDARG,
         L""},
        {"unknown type", [](VARIANT& v) { v.vt = 15; }, 0, DISP_E_BADVARTYPE, L""},
    };
    for (const Row& row : rows) {
        VARIANT source;
        VariantInit(&source);
        row.set(source);
        VARIANT result;
        VariantInit(&result);
        result.vt = VT_I4;
        result.lVal = 99;
        EXPECT_EQ(VariantChangeType(&result, &source, row.flags, VT_BSTR), row.expected) << row.name;
        if (SUCCEEDED(row.expected)) {
            EXPECT_EQ(result.vt, VT_BSTR) << row.name;
            EXPECT_NE(result.bstrVal, nullptr) << row.name;
            EXPECT_EQ(text(result.bstrVal), row.text) << row.name;
            EXPECT_NE(result.bstrVal, storage.bstr) << row.name;
            VariantClear(&result);
        } else {
            EXPECT_EQ(result.vt, VT_I4) << row.name << ": destination left unchanged";
            EXPECT_EQ(result.lVal, 99) << row.name;
        }
    }
    EXPECT_EQ(object.references(), 1u);
    SysFreeString(storage.bstr);
}

TEST_F(Automation, VariantChangeTypeInPlace)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = 31;
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(text(v.bstrVal), L"31");
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), S_OK) << "BSTR to BSTR in place";
    EXPECT_EQ(text(v.bstrVal), L"31");
    VariantClear(&v);
}

TEST_F(Automation, VariantChangeTypeToOtherTypes)
{
    LONG number = 8;
    CountedUnknown object;
    IUnknown* referenced = &object;
    struct Row {
        const char* name;
        std::function<void(VARIANT&)> set;
        VARTYPE to;
        HRESULT expected;
    };
    const Row rows[] = {
        {"same type copies", [](VARIANT& v) { v.vt = VT_I4, v.lVal = 8; }, VT_I4, S_OK},
        {"by-reference source of the same type", [&](VARIANT& v) { v.vt = VT_BYREF | VT_I4, v.plVal = &number; },
         VT_I4, S_OK},
        {"empty to empty", [](VARIANT& v) { v.vt = VT_EMPTY; }, VT_EMPTY, S_OK},
        {"interface copy", [&](VARIANT& v) { v.vt = VT_BYREF | VT_UNKNOWN, v.ppunkVal = &referenced; }, VT_UNKNOWN,
         S_OK},
        {"unsupported numeric conversion", [](VARIANT& v) { v.vt = VT_I4, v.lVal = 8; }, VT_R8,
         DISP_E_TYPEMISMATCH},
        {"by-reference target", [&](VARIANT& v) { v.vt = VT_BYREF | VT_I4, v.plVal = &number; }, VT_BYREF | VT_I4,
         DISP_E_TYPEMISMATCH},
        {"invalid target", [](VARIANT& v) { v.vt = VT_I4, v.lVal = 8; }, 15, DISP_E_BADVARTYPE},
    };
    for (const Row& row : rows) {
        VARIANT source;
        VariantInit(&source);
        row.set(source);
        VARIANT result;
        VariantInit(&result);
        EXPECT_EQ(VariantChangeType(&result, &source, 0, row.to), row.expected) << row.name;
        if (FAILED(row.expected)) {
            EXPECT_EQ(result.vt, VT_EMPTY) << row.name;
            continue;
        }
        EXPECT_EQ(result.vt, row.to) << row.name;
        if (row.to == VT_I4) {
            EXPECT_EQ(result.lVal, 8) << row.name;
        }
        if (row.to == VT_UNKNOWN) {
            EXPECT_EQ(result.punkVal, &object) << row.name;
            EXPECT_EQ(object.references(), 2u) << row.name;
        }
        EXPECT_EQ(VariantClear(&result), S_OK) << row.name;
    }
    EXPECT_EQ(object.references(), 1u);
}

} // namespace
