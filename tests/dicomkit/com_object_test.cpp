// The component's COM surface: QueryInterface, placeholders and IDispatch,
// reference counting, error info, registration and the Dll* entry points.
#include "toolkit_fixture.h"

#include <atomic>
#include <thread>
#include <vector>

#include "dicom_writer.h"
#include "dicomkit/registration.h"

namespace {

using toolkit::ComPtr;
using toolkit::IDicomElement;
using toolkit::IDicomFileObject;
using toolkit::ITagDictionary;

class ComSurface : public ToolkitTest {
protected:
    // The three kinds of object, each as IUnknown, with its own interface id.
    struct Subject {
        const char* name;
        ComPtr<IUnknown> object;
        IID own;
        IID other;
    };

    std::vector<Subject> subjects()
    {
        std::vector<Subject> all;
        auto dictionary = createDictionary();
        auto file = loadedBasicFile();
        auto found = element(file.get(), 0x00100010);
        all.push_back({"TagDictionary", ComPtr<IUnknown>::borrow(dictionary.get()), toolkit::IID_ITagDictionary,
                       toolkit::IID_IDicomFileObject});
        all.push_back({"DicomFileObject", ComPtr<IUnknown>::borrow(file.get()), toolkit::IID_IDicomFileObject,
                       toolkit::IID_IDicomElement});
        all.push_back({"DicomElement", ComPtr<IUnknown>::borrow(found.get()), toolkit::IID_IDicomElement,
                       toolkit::IID_ITagDictionary});
        return all;
    }

    ComPtr<IDicomFileObject> loadedBasicFile()
    {
        DcmFileFormat dicom;
        fillBasicDataSet(*dicom.getDataset());
        writeFile(dicom, temp_.path() / "basic.dcm", EXS_LittleEndianExplicit);
        return loaded(temp_.path() / "basic.dcm");
    }

    static ULONG referenceCount(IUnknown* object)
    {
        object->AddRef();
        return object->Release();
    }
};

TEST_F(ComSurface, QueryInterfaceAnswersTheFourInterfacesOfEachObject)
{
    for (Subject& subject : subjects()) {
        struct Row {
            const char* name;
            IID iid;
            HRESULT expected;
        };
        const Row rows[] = {
            {"IUnknown", IID_IUnknown, S_OK},
            {"IDispatch", IID_IDispatch, S_OK},
            {"own interface", subject.own, S_OK},
            {"ISupportErrorInfo", IID_ISupportErrorInfo, S_OK},
            {"another toolkit interface", subject.other, E_NOINTERFACE},
            {"IClassFactory", IID_IClassFactory, E_NOINTERFACE},
        };
        for (const Row& row : rows) {
            void* raw = reinterpret_cast<void*>(0x1);
            EXPECT_EQ(subject.object->QueryInterface(row.iid, &raw), row.expected) << subject.name << ", " << row.name;
            if (row.expected == S_OK)
                static_cast<IUnknown*>(raw)->Release();
            else
                EXPECT_EQ(raw, nullptr) << subject.name << ", " << row.name;
        }
        // One identity: IUnknown reached from any interface is the same pointer.
        ComPtr<ISupportErrorInfo> support;
        ASSERT_EQ(subject.object->QueryInterface(IID_ISupportErrorInfo, support.receiveVoid()), S_OK);
        ComPtr<IUnknown> viaSupport, viaObject;
        ASSERT_EQ(support->QueryInterface(IID_IUnknown, viaSupport.receiveVoid()), S_OK);
        ASSERT_EQ(subject.object->QueryInterface(IID_IUnknown, viaObject.receiveVoid()), S_OK);
        EXPECT_EQ(viaSupport.get(), viaObject.get()) << subject.name;
        EXPECT_EQ(support->InterfaceSupportsErrorInfo(subject.own), S_OK) << subject.name;
        EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE) << subject.name;
        EXPECT_EQ(subject.object->QueryInterface(IID_IUnknown, nullptr), E_POINTER) << subject.name;
    }
}

TEST_F(ComSurface, IDispatchAndEveryPlaceholderAnswerNotImplemented)
{
    for (Subject& subject : subjects()) {
        ComPtr<IDispatch> dispatch;
        ASSERT_EQ(subject.object->QueryInterface(IID_IDispatch, dispatch.receiveVoid()), S_OK);
        UINT count = 7;
        EXPECT_EQ(dispatch->GetTypeInfoCount(&count), E_NOTIMPL) << subject.name;
        ITypeInfo* info = nullptr;
        EXPECT_EQ(dispatch->GetTypeInfo(0, 0, &info), E_NOTIMPL) << subject.name;
        OLECHAR name[] = L"LoadFile";
        LPOLESTR names[] = {name};
        DISPID id = 0;
        EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), E_NOTIMPL) << subject.name;
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        EXPECT_EQ(dispatch->Invoke(1, IID_NULL, 0, 1, &none, nullptr, nullptr, nullptr), E_NOTIMPL) << subject.name;
    }

    auto file = loadedBasicFile();
    auto found = element(file.get(), 0x00100010);
#define EXPECT_NOT_IMPLEMENTED(object, n) EXPECT_EQ((object)->Reserved##n(), E_NOTIMPL) << #object " slot " #n
    EXPECT_NOT_IMPLEMENTED(file, 07); EXPECT_NOT_IMPLEMENTED(file, 08); EXPECT_NOT_IMPLEMENTED(file, 09);
    EXPECT_NOT_IMPLEMENTED(file, 10); EXPECT_NOT_IMPLEMENTED(file, 11); EXPECT_NOT_IMPLEMENTED(file, 13);
    EXPECT_NOT_IMPLEMENTED(file, 14); EXPECT_NOT_IMPLEMENTED(file, 15); EXPECT_NOT_IMPLEMENTED(file, 16);
    EXPECT_NOT_IMPLEMENTED(file, 17); EXPECT_NOT_IMPLEMENTED(file, 18); EXPECT_NOT_IMPLEMENTED(file, 19);
    EXPECT_NOT_IMPLEMENTED(file, 20); EXPECT_NOT_IMPLEMENTED(file, 21); EXPECT_NOT_IMPLEMENTED(file, 22);
    EXPECT_NOT_IMPLEMENTED(file, 23); EXPECT_NOT_IMPLEMENTED(file, 24); EXPECT_NOT_IMPLEMENTED(file, 25);
    EXPECT_NOT_IMPLEMENTED(file, 26); EXPECT_NOT_IMPLEMENTED(file, 27); EXPECT_NOT_IMPLEMENTED(file, 28);
    EXPECT_NOT_IMPLEMENTED(file, 29); EXPECT_NOT_IMPLEMENTED(file, 30); EXPECT_NOT_IMPLEMENTED(file, 31);
    EXPECT_NOT_IMPLEMENTED(file, 32); EXPECT_NOT_IMPLEMENTED(file, 33); EXPECT_NOT_IMPLEMENTED(file, 34);
    EXPECT_NOT_IMPLEMENTED(file, 35); EXPECT_NOT_IMPLEMENTED(file, 36); EXPECT_NOT_IMPLEMENTED(file, 37);
    EXPECT_NOT_IMPLEMENTED(file, 38); EXPECT_NOT_IMPLEMENTED(file, 39); EXPECT_NOT_IMPLEMENTED(file, 40);
    EXPECT_NOT_IMPLEMENTED(found, 07); EXPECT_NOT_IMPLEMENTED(found, 08); EXPECT_NOT_IMPLEMENTED(found, 09);
    EXPECT_NOT_IMPLEMENTED(found, 10); EXPECT_NOT_IMPLEMENTED(found, 12);
#undef EXPECT_NOT_IMPLEMENTED
}

TEST_F(ComSurface, ReferenceCountsAreExactUnderConcurrentUseAndNothingOutlivesTheLastRelease)
{
    {
        std::vector<Subject> all = subjects();
        EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
        for (Subject& subject : all) {
            const ULONG before = referenceCount(subject.object.get());
            std::vector<std::thread> threads;
            for (int t = 0; t < 4; ++t)
                threads.emplace_back([object = subject.object.get()] {
                    for (int i = 0; i < 20000; ++i) {
                        object->AddRef();
                        object->Release();
                    }
                });
            for (auto& thread : threads)
                thread.join();
            EXPECT_EQ(referenceCount(subject.object.get()), before) << subject.name;
            EXPECT_EQ(subject.object->AddRef(), before + 1) << subject.name;
            EXPECT_EQ(subject.object->Release(), before) << subject.name;
        }
    }
    EXPECT_EQ(DllCanUnloadNow(), S_OK) << "an object outlived its last reference";
}

TEST_F(ComSurface, ElementsKeepTheirDataAfterTheFileObjectIsReleased)
{
    ComPtr<IDicomElement> found;
    {
        auto file = loadedBasicFile();
        found = element(file.get(), 0x00100010);
    }
    Variant value;
    ASSERT_EQ(found->GetValue(&value), S_OK);
    ASSERT_EQ(value.vt, VT_BSTR);
    EXPECT_EQ(std::wstring(value.bstrVal), widenAscii(kPatientName));
}

TEST_F(ComSurface, FailuresLeaveErrorInfoFromDicomToolkitAndSuccessesClearIt)
{
    auto file = createFileObject();
    ComPtr<IDicomElement> found;
    const HRESULT hr = file->FindElement(0x00100010, found.receive());
    EXPECT_EQ(hr, E_UNEXPECTED);
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(0, info.receive()), S_OK);
    BSTR source = nullptr, description = nullptr;
    ASSERT_EQ(info->GetSource(&source), S_OK);
    ASSERT_EQ(info->GetDescription(&description), S_OK);
    EXPECT_EQ(std::wstring(source), L"DicomToolkit");
    EXPECT_EQ(std::wstring(description), L"no file loaded");
    SysFreeString(source);
    SysFreeString(description);
    GUID guid{};
    EXPECT_EQ(info->GetGUID(&guid), S_OK);
    EXPECT_TRUE(IsEqualGUID(guid, toolkit::IID_IDicomFileObject));
    info.reset();

    // Leave error info behind, then succeed: nothing stale remains.
    EXPECT_TRUE(FAILED(file->FindElement(0x00100010, found.receive())));
    auto dictionary = createDictionary();
    LONG tag = 0;
    const Bstr keyword(std::string("PatientID"));
    EXPECT_EQ(dictionary->TagFromKeyword(keyword, &tag), S_OK);
    ComPtr<IErrorInfo> stale;
    EXPECT_EQ(GetErrorInfo(0, stale.receive()), S_FALSE);
    EXPECT_FALSE(stale);
}

TEST_F(ComSurface, RegistrationIsIdempotentNeedsAnApartmentAndRevokingUnregisters)
{
    EXPECT_EQ(RegisterToolkitClasses(), S_FALSE);

    ASSERT_EQ(RevokeToolkitClasses(), S_OK);
    EXPECT_EQ(RevokeToolkitClasses(), S_FALSE);
    IUnknown* unknown = nullptr;
    EXPECT_EQ(CoCreateInstance(toolkit::CLSID_DicomFileObject, nullptr, CLSCTX_ALL, IID_IUnknown,
                               reinterpret_cast<void**>(&unknown)),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(toolkit::CLSID_TagDictionary, nullptr, CLSCTX_ALL, IID_IUnknown,
                               reinterpret_cast<void**>(&unknown)),
              REGDB_E_CLASSNOTREG);

    HRESULT outside = S_OK;
    std::thread([&] { outside = RegisterToolkitClasses(); }).join();
    EXPECT_EQ(outside, CO_E_NOTINITIALIZED);

    ASSERT_EQ(RegisterToolkitClasses(), S_OK);
    EXPECT_TRUE(createFileObject());
}

TEST_F(ComSurface, DllGetClassObjectServesBothClassesAndLocksHoldTheModule)
{
    for (const CLSID& clsid : {toolkit::CLSID_TagDictionary, toolkit::CLSID_DicomFileObject}) {
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(DllGetClassObject(clsid, IID_IClassFactory, factory.receiveVoid()), S_OK);
        ComPtr<IUnknown> object;
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, object.receiveVoid()), S_OK);
        EXPECT_TRUE(object);
        ComPtr<IUnknown> aggregated;
        EXPECT_EQ(factory->CreateInstance(object.get(), IID_IUnknown, aggregated.receiveVoid()),
                  CLASS_E_NOAGGREGATION);
        EXPECT_FALSE(aggregated);
        object.reset();

        EXPECT_EQ(DllCanUnloadNow(), S_OK);
        EXPECT_EQ(factory->LockServer(TRUE), S_OK);
        EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
        EXPECT_EQ(factory->LockServer(FALSE), S_OK);
        EXPECT_EQ(DllCanUnloadNow(), S_OK);
    }
    void* none = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(DllGetClassObject(IID_IDispatch, IID_IClassFactory, &none), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(none, nullptr);
}

} // namespace
