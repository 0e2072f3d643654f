// The toolkit's interfaces are called by table position: pin every slot the
// module uses. COM interfaces declare no destructor, so a position is a
// table entry.
#include <gtest/gtest.h>

#include "toolkit/interfaces.h"
#include "vtable_slot.h"

namespace {

using namespace toolkit;

TEST(ToolkitInterfaces, OperationsSitInTheirSlots)
{
    // Windows' IUnknown adds a template QueryInterface(Q**): pick the operation.
    using QueryInterfaceOperation = HRESULT (STDMETHODCALLTYPE IUnknown::*)(REFIID, void**);
    EXPECT_EQ(vtableEntry(static_cast<QueryInterfaceOperation>(&IUnknown::QueryInterface)), 0);
    EXPECT_EQ(vtableEntry(&IUnknown::AddRef), 1);
    EXPECT_EQ(vtableEntry(&IUnknown::Release), 2);
    EXPECT_EQ(vtableEntry(&IDispatch::Invoke), 6);

    EXPECT_EQ(vtableEntry(&ITagDictionary::TagFromKeyword), 7);

    EXPECT_EQ(vtableEntry(&IDicomFileObject::Reserved07), 7);
    EXPECT_EQ(vtableEntry(&IDicomFileObject::LoadFile), 12);
    EXPECT_EQ(vtableEntry(&IDicomFileObject::Reserved13), 13);
    EXPECT_EQ(vtableEntry(&IDicomFileObject::Reserved40), 40);
    EXPECT_EQ(vtableEntry(&IDicomFileObject::FindElement), 41);

    EXPECT_EQ(vtableEntry(&IDicomElement::GetValueLength), 11);
    EXPECT_EQ(vtableEntry(&IDicomElement::Reserved12), 12);
    EXPECT_EQ(vtableEntry(&IDicomElement::GetValue), 13);
}

TEST(ToolkitInterfaces, DataCrossingTheTablesHasTheWindowsSizes)
{
    static_assert(sizeof(LONG) == 4 && sizeof(ULONG) == 4 && sizeof(HRESULT) == 4);
    static_assert(sizeof(GUID) == 16);
    static_assert(sizeof(VARIANT) == 8 + 2 * sizeof(void*));
    static_assert(offsetof(VARIANT, lVal) == 8);
    SUCCEED();
}

} // namespace
