// The host calls the module by table position. Pin the module's declaration,
// the plug-in class's own two operations and the host's declaration to the
// same table entries. Under the Itanium C++ ABI the virtual destructor takes
// two entries, so position N >= 1 is entry N + 1.
#include <gtest/gtest.h>

#include "host/server_configuration.h"
#include "plugin/dicom_server_ini_file_plugin.h"
#include "vtable_slot.h"

namespace {

constexpr std::ptrdiff_t entryOf(int position) { return position + 1; }

TEST(ConfigurationInterface, ModuleAndHostAgreeSlotBySlot)
{
    using Module = ::IDicomServerConfiguration;
    using Host = host::IDicomServerConfiguration;
    const struct {
        const char* name;
        int position;
        std::ptrdiff_t module, host;
    } rows[] = {
        {"getStorageRoot", 1, vtableEntry(&Module::getStorageRoot), vtableEntry(&Host::getStorageRoot)},
        {"getAeTitle", 2, vtableEntry(&Module::getAeTitle), vtableEntry(&Host::getAeTitle)},
        {"getPort", 3, vtableEntry(&Module::getPort), vtableEntry(&Host::getPort)},
        {"hook04", 4, vtableEntry(&Module::hook04), vtableEntry(&Host::slot04)},
        {"hook05", 5, vtableEntry(&Module::hook05), vtableEntry(&Host::slot05)},
        {"hook06", 6, vtableEntry(&Module::hook06), vtableEntry(&Host::slot06)},
        {"storeReceivedFile", 7, vtableEntry(&Module::storeReceivedFile), vtableEntry(&Host::storeReceivedFile)},
        {"hook08", 8, vtableEntry(&Module::hook08), vtableEntry(&Host::slot08)},
        {"hook09", 9, vtableEntry(&Module::hook09), vtableEntry(&Host::slot09)},
        {"hook10", 10, vtableEntry(&Module::hook10), vtableEntry(&Host::slot10)},
        {"hook11", 11, vtableEntry(&Module::hook11), vtableEntry(&Host::slot11)},
        {"hook12", 12, vtableEntry(&Module::hook12), vtableEntry(&Host::slot12)},
        {"hook13", 13, vtableEntry(&Module::hook13), vtableEntry(&Host::slot13)},
        {"hook14", 14, vtableEntry(&Module::hook14), vtableEntry(&Host::slot14)},
        {"hook15", 15, vtableEntry(&Module::hook15), vtableEntry(&Host::slot15)},
        {"hook16", 16, vtableEntry(&Module::hook16), vtableEntry(&Host::slot16)},
        {"hook17", 17, vtableEntry(&Module::hook17), vtableEntry(&Host::slot17)},
        {"hook18", 18, vtableEntry(&Module::hook18), vtableEntry(&Host::slot18)},
        {"hook19", 19, vtableEntry(&Module::hook19), vtableEntry(&Host::slot19)},
        {"hook20", 20, vtableEntry(&Module::hook20), vtableEntry(&Host::slot20)},
        {"hook21", 21, vtableEntry(&Module::hook21), vtableEntry(&Host::slot21)},
        {"getPluginName", 22, vtableEntry(&Module::getPluginName), vtableEntry(&Host::getPluginName)},
        {"hook23", 23, vtableEntry(&Module::hook23), vtableEntry(&Host::slot23)},
        {"hook24", 24, vtableEntry(&Module::hook24), vtableEntry(&Host::slot24)},
        {"hook25", 25, vtableEntry(&Module::hook25), vtableEntry(&Host::slot25)},
        {"hook26", 26, vtableEntry(&Module::hook26), vtableEntry(&Host::slot26)},
        {"isSecureConnection", 27, vtableEntry(&Module::isSecureConnection),
         vtableEntry(&Host::isSecureConnection)},
        {"getCertSubjectName", 28, vtableEntry(&Module::getCertSubjectName),
         vtableEntry(&Host::getCertSubjectName)},
        {"isMutualAuthentication", 29, vtableEntry(&Module::isMutualAuthentication),
         vtableEntry(&Host::isMutualAuthentication)},
        {"pluginHook30", 30, vtableEntry(&DicomServerIniFilePlugin::pluginHook30), vtableEntry(&Host::slot30)},
        {"pluginHook31", 31, vtableEntry(&DicomServerIniFilePlugin::pluginHook31), vtableEntry(&Host::slot31)},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.module, entryOf(row.position)) << row.name;
        EXPECT_EQ(row.host, entryOf(row.position)) << row.name;
    }
}

TEST(ConfigurationInterface, TheObjectIsItsInterface)
{
    static_assert(std::is_polymorphic_v<DicomServerIniFilePlugin>);
    // A pointer to the object is a pointer to its interface: single, public,
    // non-virtual inheritance, the interface at offset 0.
    alignas(DicomServerIniFilePlugin) unsigned char storage[sizeof(DicomServerIniFilePlugin)];
    auto* object = reinterpret_cast<DicomServerIniFilePlugin*>(storage);
    EXPECT_EQ(static_cast<void*>(static_cast<::IDicomServerConfiguration*>(object)), static_cast<void*>(object));
}

} // namespace
