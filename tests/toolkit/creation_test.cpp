// The creation protocol and ComError's description, against fake classes
// registered with the COM runtime.
#include <gtest/gtest.h>

#include "com_apartment.h"
#include "fake_toolkit.h"
#include "toolkit/creation.h"

namespace {

using toolkit::ComError;

class Creation : public ::testing::Test {
protected:
    void TearDown() override
    {
        toolkit_.revokeClasses();
        EXPECT_EQ(fakes::liveFakeObjects(), 0);
    }
    ComApartment apartment_;
    fakes::FakeToolkit toolkit_;
};

TEST_F(Creation, AnswersTheObjectOrRaisesTheCreationCode)
{
    const struct {
        const char* name;
        bool registered;
        HRESULT creation;
        bool object;
        HRESULT raised;  // S_OK: nothing raised
    } rows[] = {
        {"created", true, S_OK, true, S_OK},
        {"E_NOINTERFACE: empty, nothing raised", true, E_NOINTERFACE, false, S_OK},
        {"class not registered", false, S_OK, false, REGDB_E_CLASSNOTREG},
        {"creation fails", true, E_OUTOFMEMORY, false, E_OUTOFMEMORY},
    };
    for (const auto& row : rows) {
        toolkit_.registerFile = row.registered;
        toolkit_.fileCreation = row.creation;
        toolkit_.registerClasses();
        try {
            const auto file = toolkit::createDicomFileObject();
            EXPECT_EQ(row.raised, S_OK) << row.name;
            EXPECT_EQ(static_cast<bool>(file), row.object) << row.name;
            if (!file) {
                EXPECT_THROW(toolkit::requireObject(file), ComError) << row.name;
            }
        } catch (const ComError& error) {
            EXPECT_EQ(error.code(), row.raised) << row.name;
            EXPECT_TRUE(error.description().empty()) << row.name;
        }
    }
}

TEST_F(Creation, NeedsTheThreadsApartment)
{
    CoUninitialize();  // leave the fixture's apartment for this test
    try {
        toolkit::createTagDictionary();
        ADD_FAILURE() << "created without an apartment";
    } catch (const ComError& error) {
        EXPECT_EQ(error.code(), CO_E_NOTINITIALIZED);
    }
    CoInitialize(nullptr);
}

TEST_F(Creation, DescriptionComesFromTheObjectsErrorInfo)
{
    toolkit_.file.loadResult = E_FAIL;
    toolkit_.file.loadDescription = L"truncated DICOM file: x";
    const auto file = toolkit::createDicomFileObject();
    const HRESULT result = file->LoadFile(nullptr);
    try {
        toolkit::checkToolkitCall(result, file.get(), toolkit::IID_IDicomFileObject);
        ADD_FAILURE();
    } catch (const ComError& error) {
        EXPECT_EQ(error.code(), E_FAIL);
        EXPECT_EQ(error.description(), L"truncated DICOM file: x");
    }
    // An interface the object does not report errors for: no description,
    // even with error info waiting on the thread.
    fakes::reportError(L"unrelated");
    try {
        toolkit::checkToolkitCall(E_FAIL, file.get(), toolkit::IID_IDicomElement);
        ADD_FAILURE();
    } catch (const ComError& error) {
        EXPECT_TRUE(error.description().empty());
    }
    IErrorInfo* leftOver = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &leftOver), S_OK);
    leftOver->Release();
}

} // namespace
