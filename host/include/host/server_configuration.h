// The host's own declaration of the configuration interface that a module's
// GetDicomServerConfiguration hands out. The host calls every operation by its
// place in this table; the module implements the same table from its own
// declaration, so the two must agree slot by slot and never change.
//
// Slots 30 and 31 exist only in the module's class; the host declares them
// here as well so that tests can reach every table entry through one type.
#ifndef HOST_SERVER_CONFIGURATION_H
#define HOST_SERVER_CONFIGURATION_H

#include <cstdint>
#include <string>

namespace host {

using Word = std::uintptr_t;

class IDicomServerConfiguration {
public:
    virtual ~IDicomServerConfiguration() {}                                // 0
    virtual const char* getStorageRoot() = 0;                              // 1
    virtual const char* getAeTitle() = 0;                                  // 2
    virtual std::uint16_t getPort() = 0;                                   // 3
    virtual std::int32_t slot04() = 0;                                     // 4
    virtual std::int32_t slot05() = 0;                                     // 5
    virtual std::int32_t slot06() = 0;                                     // 6
    virtual bool storeReceivedFile(const std::string& receivedPath,        // 7
                                   const std::string& callingAeTitle,
                                   const std::string& calledAeTitle) = 0;
    virtual bool slot08(Word, Word, Word) = 0;                             // 8
    virtual bool slot09(Word, Word, Word, Word) = 0;                       // 9
    virtual bool slot10(Word, Word, Word) = 0;                             // 10
    virtual void slot11() = 0;                                             // 11
    virtual void slot12() = 0;                                             // 12
    virtual std::int32_t slot13() = 0;                                     // 13
    virtual bool slot14(Word, Word, Word) = 0;                             // 14
    virtual void slot15(Word, Word) = 0;                                   // 15
    virtual Word slot16(Word, Word, Word) = 0;                             // 16
    virtual Word slot17(Word, Word) = 0;                                   // 17
    virtual void slot18(Word, Word, Word, Word) = 0;                       // 18
    virtual bool slot19(Word, Word, Word) = 0;                             // 19
    virtual bool slot20(Word, Word) = 0;                                   // 20
    virtual std::int32_t slot21(Word, Word) = 0;                           // 21
    virtual const char* getPluginName() = 0;                               // 22
    virtual bool slot23() = 0;                                             // 23
    virtual std::string slot24(std::string, std::string) = 0;              // 24
    virtual void slot25(std::string, Word) = 0;                            // 25
    virtual void slot26(Word) = 0;                                         // 26
    virtual bool isSecureConnection() = 0;                                 // 27
    virtual std::string getCertSubjectName() = 0;                          // 28
    virtual bool isMutualAuthentication() = 0;                             // 29
    virtual Word slot30() = 0;                                             // 30
    virtual Word slot31() = 0;                                             // 31
};

// The module's one export.
using GetDicomServerConfigurationFunction = IDicomServerConfiguration* (*)();
inline constexpr const char* kConfigurationExport = "GetDicomServerConfiguration";

} // namespace host

#endif // HOST_SERVER_CONFIGURATION_H
