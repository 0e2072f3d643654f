// Apartments, the class table, CoCreateInstance and error info of the
// platform's COM runtime. Class objects are counting test doubles registered
// with CoRegisterClassObject, so every test can check that references end
// balanced.
#include <windows.h>
#include <platform/testing.h>

#include "counted_object.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

namespace {

const CLSID kTestClass = {0x6B1D6A10, 0x2F3C, 0x4E51, {0x9A, 0x1E, 0x35, 0x0C, 0x7F, 0x42, 0x11, 0x01}};

// Enters an apartment for one scope and leaves it again.
class Apartment {
public:
    explicit Apartment(DWORD mode = COINIT_APARTMENTTHREADED) : result_(CoInitializeEx(nullptr, mode)) {}
    ~Apartment()
    {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;
    HRESULT result() const { return result_; }

private:
    HRESULT result_;
};

// A class factory that makes `product` (handing out references to it), or
// answers `answer` when that is a failure.
class TestFactory final : public Counted<IClassFactory> {
public:
    explicit TestFactory(HRESULT answer = S_OK) : answer_(answer) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid != IID_IUnknown && riid != IID_IClassFactory) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        *ppv = nullptr;
        if (FAILED(answer_))
            return answer_;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return product.QueryInterface(riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

    CountedUnknown product;

private:
    HRESULT answer_;
};

std::string toString(const GUID& g)
{
    char text[40];
    std::snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

// ------------------------------------------------------------- apartments
TEST(Apartments, SecondInitialisationNestsInTheSameModeAndIsRefusedInTheOther)
{
    struct Row {
        const char* name;
        DWORD first;
        DWORD second;
        HRESULT secondResult;
        ULONG depthAfterSecond;
    };
    const Row rows[] = {
        {"sta then sta", COINIT_APARTMENTTHREADED, COINIT_APARTMENTTHREADED, S_FALSE, 2},
        {"mta then mta", COINIT_MULTITHREADED, COINIT_MULTITHREADED, S_FALSE, 2},
        {"sta then mta", COINIT_APARTMENTTHREADED, COINIT_MULTITHREADED, RPC_E_CHANGED_MODE, 1},
        {"mta then sta", COINIT_MULTITHREADED, COINIT_APARTMENTTHREADED, RPC_E_CHANGED_MODE, 1},
        {"extra flags do not change the mode", COINIT_APARTMENTTHREADED,
         COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE, S_FALSE, 2},
    };
    for (const Row& row : rows) {
        ASSERT_EQ(PlatformApartmentDepth(), 0u) << row.name;
        EXPECT_EQ(CoInitializeEx(nullptr, row.first), S_OK) << row.name;
        EXPECT_EQ(CoInitializeEx(nullptr, row.second), row.secondResult) << row.name;
        EXPECT_EQ(PlatformApartmentDepth(), row.depthAfterSecond) << row.name;
        for (ULONG i = 0; i < row.depthAfterSecond; ++i)
            CoUninitialize();
        EXPECT_EQ(PlatformApartmentDepth(), 0u) << row.name;
    }
}

TEST(Apartments, CoInitializeEntersASingleThreadedApartment)
{
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(PlatformApartmentDepth(), 0u);
}

TEST(Apartments, UninitialiseOutsideAnApartmentDoesNothing)
{
    CoUninitialize();
    EXPECT_EQ(PlatformApartmentDepth(), 0u);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    CoUninitialize();
    EXPECT_EQ(PlatformApartmentDepth(), 0u);
}

TEST(Apartments, EachThreadHasItsOwnApartment)
{
    Apartment sta(COINIT_APARTMENTTHREADED);
    ASSERT_EQ(sta.result(), S_OK);
    HRESULT otherFirst = E_FAIL;
    ULONG otherDepthBefore = 99;
    std::thread other([&] {
        otherDepthBefore = PlatformApartmentDepth();
        otherFirst = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        CoUninitialize();
    });
    other.join();
    EXPECT_EQ(otherDepthBefore, 0u);
    EXPECT_EQ(otherFirst, S_OK);
    EXPECT_EQ(PlatformApartmentDepth(), 1u);
}

// ------------------------------------------------------------ class table
TEST(ClassTable, CallsOutsideAnApartmentAreRefused)
{
    ASSERT_EQ(PlatformApartmentDepth(), 0u);
    TestFactory factory;
    DWORD cookie = 123;
    EXPECT_EQ(CoRegisterClassObject(kTestClass, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(cookie, 0u);
    void* object = &factory;
    EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(CoRevokeClassObject(1), CO_E_NOTINITIALIZED);
    EXPECT_EQ(factory.references(), 1u);
}

TEST(ClassTable, RegisteredFactoryCreatesUntilRevoked)
{
    Apartment apartment;
    TestFactory factory;
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(kTestClass, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);
    EXPECT_NE(cookie, 0u);
    EXPECT_EQ(factory.references(), 2u);

    IUnknown* object = nullptr;
    ASSERT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&object)),
              S_OK);
    EXPECT_EQ(object, static_cast<IUnknown*>(&factory.product));
    EXPECT_EQ(factory.product.references(), 2u);
    object->Release();
    EXPECT_EQ(factory.references(), 2u);

    EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
    EXPECT_EQ(factory.references(), 1u);
    EXPECT_EQ(CoRevokeClassObject(cookie), CO_E_OBJNOTREG);
    object = &factory.product;
    EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&object)),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(factory.product.references(), 1u);
}

TEST(ClassTable, CreationFailuresReachTheCallerUnchanged)
{
    struct Row {
        const char* name;
        HRESULT factoryAnswer;
        const IID* iid;
        IUnknown* outer;
        HRESULT expected;
    };
    CountedUnknown outer;
    const IID otherIid = {0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    const Row rows[] = {
        {"factory answers E_NOINTERFACE", E_NOINTERFACE, &IID_IUnknown, nullptr, E_NOINTERFACE},
        {"factory answers E_OUTOFMEMORY", E_OUTOFMEMORY, &IID_IUnknown, nullptr, E_OUTOFMEMORY},
        {"product lacks the interface", S_OK, &otherIid, nullptr, E_NOINTERFACE},
        {"factory refuses aggregation", S_OK, &IID_IUnknown, &outer, CLASS_E_NOAGGREGATION},
    };
    Apartment apartment;
    for (const Row& row : rows) {
        TestFactory factory(row.factoryAnswer);
        DWORD cookie = 0;
        ASSERT_EQ(CoRegisterClassObject(kTestClass, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie),
                  S_OK)
            << row.name;
        void* object = &factory;
        EXPECT_EQ(CoCreateInstance(kTestClass, row.outer, CLSCTX_INPROC_SERVER, *row.iid, &object), row.expected)
            << row.name;
        EXPECT_EQ(object, nullptr) << row.name;
        EXPECT_EQ(CoRevokeClassObject(cookie), S_OK) << row.name;
        EXPECT_EQ(factory.references(), 1u) << row.name;
        EXPECT_EQ(factory.product.references(), 1u) << row.name;
    }
    EXPECT_EQ(outer.references(), 1u);
}

TEST(ClassTable, ClassObjectWithoutAFactoryInterfaceGivesNoInterface)
{
    Apartment apartment;
    CountedUnknown notAFactory;
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(kTestClass, &notAFactory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie),
              S_OK);
    void* object = nullptr;
    EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object), E_NOINTERFACE);
    EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
    EXPECT_EQ(notAFactory.references(), 1u);
}

TEST(ClassTable, NewestRegistrationWinsAndRevokingItUncoversTheOlder)
{
    Apartment apartment;
    TestFactory older;
    TestFactory newer;
    DWORD olderCookie = 0;
    DWORD newerCookie = 0;
    ASSERT_EQ(CoRegisterClassObject(kTestClass, &older, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &olderCookie),
              S_OK);
    ASSERT_EQ(CoRegisterClassObject(kTestClass, &newer, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &newerCookie),
              S_OK);
    EXPECT_NE(olderCookie, newerCookie);

    IUnknown* object = nullptr;
    ASSERT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&object)),
              S_OK);
    EXPECT_EQ(object, static_cast<IUnknown*>(&newer.product));
    object->Release();

    ASSERT_EQ(CoRevokeClassObject(newerCookie), S_OK);
    ASSERT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&object)),
              S_OK);
    EXPECT_EQ(object, static_cast<IUnknown*>(&older.product));
    object->Release();
    ASSERT_EQ(CoRevokeClassObject(olderCookie), S_OK);
    EXPECT_EQ(older.references(), 1u);
    EXPECT_EQ(newer.references(), 1u);
}

TEST(ClassTable, IsSharedByAllThreadsOfTheProcess)
{
    Apartment apartment;
    TestFactory factory;
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(kTestClass, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);
    HRESULT created = E_FAIL;
    std::thread other([&] {
        Apartment mta(COINIT_MULTITHREADED);
        IUnknown* object = nullptr;
        created = CoCreateInstance(kTestClass, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&object));
        if (object)
            object->Release();
    });
    other.join();
    EXPECT_EQ(created, S_OK);
    EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
    EXPECT_EQ(factory.product.references(), 1u);
}

TEST(ClassTable, ConcurrentCreationWhileRegistrationsChangeKeepsCountsBalanced)
{
    constexpr int kThreads = 3;
    constexpr int kCreationsPerThread = 300;
    const CLSID churnClass = {0x6B1D6A10, 0x2F3C, 0x4E51, {0x9A, 0x1E, 0x35, 0x0C, 0x7F, 0x42, 0x11, 0x02}};
    Apartment apartment(COINIT_MULTITHREADED);
    TestFactory stable;
    TestFactory churning;
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(kTestClass, &stable, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);

    std::atomic<int> failures{0};
    std::atomic<int> running{kThreads};
    std::vector<std::thread> creators;
    for (int t = 0; t < kThreads; ++t) {
        creators.emplace_back([&] {
            Apartment mta(COINIT_MULTITHREADED);
            for (int i = 0; i < kCreationsPerThread; ++i) {
                IUnknown* object = nullptr;
                if (CoCreateInstance(kTestClass, nullptr, CLSCTX_ALL, IID_IUnknown,
                                     reinterpret_cast<void**>(&object)) != S_OK)
                    ++failures;
                else
                    object->Release();
                const HRESULT churned =
                    CoCreateInstance(churnClass, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&object));
                if (churned == S_OK)
                    object->Release();
                else if (churned != REGDB_E_CLASSNOTREG)
                    ++failures;
            }
            --running;
        });
    }
    while (running > 0) {
        DWORD churnCookie = 0;
        if (CoRegisterClassObject(churnClass, &churning, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &churnCookie) !=
                S_OK ||
            CoRevokeClassObject(churnCookie) != S_OK)
            ++failures;
    }
    for (std::thread& creator : creators)
        creator.join();

    EXPECT_EQ(failures, 0);
    EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
    EXPECT_EQ(stable.references(), 1u);
    EXPECT_EQ(stable.product.references(), 1u);
    EXPECT_EQ(churning.references(), 1u);
    EXPECT_EQ(churning.product.references(), 1u);
}

TEST(ClassTable, ArgumentChecks)
{
    Apartment apartment;
    TestFactory factory;
    EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_ALL, IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(CoRegisterClassObject(kTestClass, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, nullptr),
              E_INVALIDARG);
    DWORD cookie = 0;
    EXPECT_EQ(CoRegisterClassObject(kTestClass, nullptr, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie),
              E_INVALIDARG);
    EXPECT_EQ(OleRun(nullptr), E_INVALIDARG);
    EXPECT_EQ(OleRun(&factory), S_OK);
    EXPECT_EQ(factory.references(), 1u);
}

TEST(ClassTable, InterfaceIdentifiersHaveTheirWindowsValues)
{
    struct Row {
        const char* name;
        const IID& iid;
        const char* text;
    };
    const Row rows[] = {
        {"IUnknown", IID_IUnknown, "00000000-0000-0000-C000-000000000046"},
        {"IDispatch", IID_IDispatch, "00020400-0000-0000-C000-000000000046"},
        {"IClassFactory", IID_IClassFactory, "00000001-0000-0000-C000-000000000046"},
        {"ISupportErrorInfo", IID_ISupportErrorInfo, "DF0B3D60-548F-101B-8E65-08002B2BD119"},
        {"IErrorInfo", IID_IErrorInfo, "1CF2B120-547D-101B-8E65-08002B2BD119"},
        {"ICreateErrorInfo", IID_ICreateErrorInfo, "22F03340-547D-101B-8E65-08002B2BD119"},
        {"GUID_NULL", GUID_NULL, "00000000-0000-0000-0000-000000000000"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(toString(row.iid), row.text) << row.name;
}

// ------------------------------------------------------------- error info
// An error info object made by CreateErrorInfo, as IErrorInfo, with the
// given description.
IErrorInfo* makeErrorInfo(const wchar_t* description)
{
    ICreateErrorInfo* creator = nullptr;
    if (CreateErrorInfo(&creator) != S_OK)
        return nullptr;
    creator->SetDescription(const_cast<LPOLESTR>(description));
    creator->SetSource(const_cast<LPOLESTR>(L"test source"));
    IErrorInfo* info = nullptr;
    creator->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
    creator->Release();
    return info;
}

TEST(ErrorInfo, CreatedObjectAnswersCopiesOfWhatWasSet)
{
    const LONG bstrsBefore = PlatformLiveBstrCount();
    ICreateErrorInfo* creator = nullptr;
    ASSERT_EQ(CreateErrorInfo(&creator), S_OK);
    IErrorInfo* info = nullptr;
    ASSERT_EQ(creator->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)), S_OK);

    BSTR text = reinterpret_cast<BSTR>(&text);
    EXPECT_EQ(info->GetDescription(&text), S_OK);
    EXPECT_EQ(text, nullptr) << "never set";

    EXPECT_EQ(creator->SetDescription(const_cast<LPOLESTR>(L"it failed")), S_OK);
    EXPECT_EQ(creator->SetHelpContext(42), S_OK);
    EXPECT_EQ(creator->SetGUID(IID_IDispatch), S_OK);
    ASSERT_EQ(info->GetDescription(&text), S_OK);
    EXPECT_STREQ(text, L"it failed");
    BSTR second = nullptr;
    ASSERT_EQ(info->GetDescription(&second), S_OK);
    EXPECT_NE(second, text) << "each call answers a fresh copy";
    SysFreeString(text);
    SysFreeString(second);
    DWORD context = 0;
    EXPECT_EQ(info->GetHelpContext(&context), S_OK);
    EXPECT_EQ(context, 42u);
    GUID guid = GUID_NULL;
    EXPECT_EQ(info->GetGUID(&guid), S_OK);
    EXPECT_EQ(guid, IID_IDispatch);

    ICreateErrorInfo* back = nullptr;
    ASSERT_EQ(info->QueryInterface(IID_ICreateErrorInfo, reinterpret_cast<void**>(&back)), S_OK);
    EXPECT_EQ(back, creator);
    back->Release();
    void* none = &none;
    EXPECT_EQ(info->QueryInterface(IID_IDispatch, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);

    EXPECT_EQ(info->Release(), 1u);
    EXPECT_EQ(creator->Release(), 0u);
    EXPECT_EQ(PlatformLiveBstrCount(), bstrsBefore);
}

TEST(ErrorInfo, GetErrorInfoHandsTheObjectOverAndClearsTheSlot)
{
    IErrorInfo* info = makeErrorInfo(L"first");
    ASSERT_NE(info, nullptr);
    ASSERT_EQ(SetErrorInfo(0, info), S_OK);
    EXPECT_EQ(info->Release(), 1u) << "the thread holds its own reference";

    IErrorInfo* taken = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &taken), S_OK);
    EXPECT_EQ(taken, info);
    BSTR description = nullptr;
    ASSERT_EQ(taken->GetDescription(&description), S_OK);
    EXPECT_STREQ(description, L"first");
    SysFreeString(description);

    IErrorInfo* again = info;
    EXPECT_EQ(GetErrorInfo(0, &again), S_FALSE);
    EXPECT_EQ(again, nullptr);
    EXPECT_EQ(GetErrorInfo(0, nullptr), E_INVALIDARG);
    EXPECT_EQ(taken->Release(), 0u);
}

TEST(ErrorInfo, SettingReplacesAndNullClears)
{
    IErrorInfo* first = makeErrorInfo(L"first");
    IErrorInfo* second = makeErrorInfo(L"second");
    ASSERT_EQ(SetErrorInfo(0, first), S_OK);
    ASSERT_EQ(SetErrorInfo(0, second), S_OK);
    EXPECT_EQ(first->Release(), 0u) << "replacing released the first";
    ASSERT_EQ(SetErrorInfo(0, nullptr), S_OK);
    EXPECT_EQ(second->Release(), 0u) << "clearing released the second";
    IErrorInfo* none = nullptr;
    EXPECT_EQ(GetErrorInfo(0, &none), S_FALSE);
}

TEST(ErrorInfo, IsPerThreadAndReleasedWhenTheApartmentEnds)
{
    CoInitialize(nullptr);
    CoInitialize(nullptr);
    IErrorInfo* info = makeErrorInfo(L"kept");
    ASSERT_EQ(SetErrorInfo(0, info), S_OK);

    HRESULT seenByOther = E_FAIL;
    std::thread other([&] {
        IErrorInfo* none = nullptr;
        seenByOther = GetErrorInfo(0, &none);
    });
    other.join();
    EXPECT_EQ(seenByOther, S_FALSE);

    CoUninitialize();
    EXPECT_EQ(info->AddRef(), 3u) << "an inner level leaves it in place";
    info->Release();
    CoUninitialize();
    EXPECT_EQ(info->Release(), 0u) << "the last level released it";
}

} // namespace
