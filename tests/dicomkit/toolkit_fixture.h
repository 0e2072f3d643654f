// ToolkitTest: the calling thread in a COM apartment and the component's
// classes registered (RegisterToolkitClasses), objects created the way the
// module creates them, a fresh temporary folder, and a check at the end that
// every BSTR the test made was freed. Helpers read values back through the
// interfaces only.
#ifndef TESTS_DICOMKIT_TOOLKIT_FIXTURE_H
#define TESTS_DICOMKIT_TOOLKIT_FIXTURE_H

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "com_apartment.h"
#include "temp_dir.h"
#include "toolkit/com_ptr.h"
#include "toolkit/interfaces.h"

// Owns one BSTR.
class Bstr {
public:
    explicit Bstr(const std::wstring& text) : value_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    explicit Bstr(const std::string& ascii) : Bstr(std::wstring(ascii.begin(), ascii.end())) {}
    ~Bstr() { SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    operator BSTR() const { return value_; }

private:
    BSTR value_;
};

// Owns one VARIANT.
struct Variant : VARIANT {
    Variant() { VariantInit(this); }
    ~Variant() { VariantClear(this); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
};

class ToolkitTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    toolkit::ComPtr<toolkit::ITagDictionary> createDictionary();
    toolkit::ComPtr<toolkit::IDicomFileObject> createFileObject();

    // LoadFile's result for `path` (passed as given).
    HRESULT load(toolkit::IDicomFileObject* file, const std::string& path);
    // A file object with `path` loaded (fails the test otherwise).
    toolkit::ComPtr<toolkit::IDicomFileObject> loaded(const std::filesystem::path& path);

    // The element `tag`, empty when absent.
    static toolkit::ComPtr<toolkit::IDicomElement> element(toolkit::IDicomFileObject* file, uint32_t tag);
    // GetValue of element `tag` into `value`; the element must exist.
    static HRESULT value(toolkit::IDicomFileObject* file, uint32_t tag, VARIANT* value);
    // The value converted to text as the module converts it (VariantChangeType
    // to VT_BSTR); "<absent>" when there is no such element.
    static std::wstring text(toolkit::IDicomFileObject* file, uint32_t tag);
    static ULONG valueLength(toolkit::IDicomFileObject* file, uint32_t tag);

    // The description the module would get for a failure `hr` of a call of
    // `object` through `iid` (ISupportErrorInfo, then GetErrorInfo).
    static std::wstring failureDescription(HRESULT hr, IUnknown* object, REFIID iid);

    static std::filesystem::path pydicomFile(const std::string& relative);

    TempDir temp_;

private:
    ComApartment apartment_;
    LONG bstrsAtStart_ = 0;
};

std::wstring widenAscii(const std::string& text);

#endif // TESTS_DICOMKIT_TOOLKIT_FIXTURE_H
