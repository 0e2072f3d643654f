#include "toolkit_fixture.h"

#include "dicomkit/registration.h"
#include "platform/testing.h"
#include "toolkit/com_error.h"
#include "toolkit/creation.h"

void ToolkitTest::SetUp()
{
    ASSERT_TRUE(SUCCEEDED(apartment_.result()));
    ASSERT_EQ(RegisterToolkitClasses(), S_OK);
    bstrsAtStart_ = PlatformLiveBstrCount();
}

void ToolkitTest::TearDown()
{
    EXPECT_EQ(RevokeToolkitClasses(), S_OK);
    SetErrorInfo(0, nullptr);  // the last failure's description is no leak
    EXPECT_EQ(PlatformLiveBstrCount(), bstrsAtStart_) << "BSTRs leaked";
}

toolkit::ComPtr<toolkit::ITagDictionary> ToolkitTest::createDictionary() { return toolkit::createTagDictionary(); }

toolkit::ComPtr<toolkit::IDicomFileObject> ToolkitTest::createFileObject()
{
    return toolkit::createDicomFileObject();
}

HRESULT ToolkitTest::load(toolkit::IDicomFileObject* file, const std::string& path)
{
    const Bstr name(path);
    return file->LoadFile(name);
}

toolkit::ComPtr<toolkit::IDicomFileObject> ToolkitTest::loaded(const std::filesystem::path& path)
{
    auto file = createFileObject();
    const HRESULT hr = load(file.get(), path.string());
    EXPECT_EQ(hr, S_OK) << path << ": " << ::testing::PrintToString(failureDescription(hr, file.get(),
                                                                                     toolkit::IID_IDicomFileObject));
    return file;
}

toolkit::ComPtr<toolkit::IDicomElement> ToolkitTest::element(toolkit::IDicomFileObject* file, uint32_t tag)
{
    toolkit::ComPtr<toolkit::IDicomElement> found;
    EXPECT_EQ(file->FindElement(static_cast<LONG>(tag), found.receive()), S_OK);
    return found;
}

HRESULT ToolkitTest::value(toolkit::IDicomFileObject* file, uint32_t tag, VARIANT* value)
{
    auto found = element(file, tag);
    if (!found) {
        ADD_FAILURE() << "no element " << std::hex << tag;
        return E_FAIL;
    }
    return found->GetValue(value);
}

std::wstring ToolkitTest::text(toolkit::IDicomFileObject* file, uint32_t tag)
{
    auto found = element(file, tag);
    if (!found)
        return L"<absent>";
    Variant raw;
    const HRESULT got = found->GetValue(&raw);
    if (FAILED(got))
        return L"<GetValue failed: " + failureDescription(got, found.get(), toolkit::IID_IDicomElement) + L">";
    Variant converted;
    if (FAILED(VariantChangeType(&converted, &raw, 0, VT_BSTR)))
        return L"<not convertible>";
    return std::wstring(converted.bstrVal, SysStringLen(converted.bstrVal));
}

ULONG ToolkitTest::valueLength(toolkit::IDicomFileObject* file, uint32_t tag)
{
    auto found = element(file, tag);
    ULONG length = 0xDEADBEEF;
    if (found)
        EXPECT_EQ(found->GetValueLength(&length), S_OK);
    else
        ADD_FAILURE() << "no element " << std::hex << tag;
    return length;
}

std::wstring ToolkitTest::failureDescription(HRESULT hr, IUnknown* object, REFIID iid)
{
    try {
        toolkit::checkToolkitCall(hr, object, iid);
    } catch (const toolkit::ComError& error) {
        return error.description();
    }
    return L"<no failure>";
}

std::filesystem::path ToolkitTest::pydicomFile(const std::string& relative)
{
    return std::filesystem::path(PYDICOM_TEST_FILES) / relative;
}

std::wstring widenAscii(const std::string& text) { return std::wstring(text.begin(), text.end()); }
