// IDicomServerConfiguration: the host's configuration interface, as the module
// implements it.
//
// The host calls every operation by its place in this table, so the order of
// the declarations and the shape of each one's arguments and result are the
// host's and must never change: nothing is inserted, removed or reordered.
// Strings cross the boundary as std::string objects, so host and module must
// share one string type and one memory manager (one compiler and runtime).
//
// Positions 1-3, 7, 22 and 27-29 carry the module's work; the others mean
// something only to the host and answer fixed values. Positions 4, 5, 6, 13,
// 20 and 21 have bodies of the interface's own.
#ifndef PLUGIN_DICOM_SERVER_CONFIGURATION_H
#define PLUGIN_DICOM_SERVER_CONFIGURATION_H

#include <cstdint>
#include <string>

// An argument or result whose meaning only the host knows: a pointer or a
// 32-bit integer, passed in one machine word.
using HostWord = std::uintptr_t;

class IDicomServerConfiguration {
public:
    virtual ~IDicomServerConfiguration() {}                                // 0
    virtual const char* getStorageRoot() = 0;                              // 1
    virtual const char* getAeTitle() = 0;                                  // 2
    virtual std::uint16_t getPort() = 0;                                   // 3
    virtual std::int32_t hook04() { return 30; }                           // 4
    virtual std::int32_t hook05() { return 30; }                           // 5
    virtual std::int32_t hook06() { return 30; }                           // 6
    virtual bool storeReceivedFile(const std::string& receivedPath,        // 7
                                   const std::string& sourceAeTitle,
                                   const std::string& destinationAeTitle) = 0;
    virtual bool hook08(HostWord, HostWord, HostWord) = 0;                 // 8
    virtual bool hook09(HostWord, HostWord, HostWord, HostWord) = 0;       // 9
    virtual bool hook10(HostWord, HostWord, HostWord) = 0;                 // 10
    virtual void hook11() = 0;                                             // 11
    virtual void hook12() = 0;                                             // 12
    virtual std::int32_t hook13() { return 1; }                            // 13
    virtual bool hook14(HostWord, HostWord, HostWord) = 0;                 // 14
    virtual void hook15(HostWord, HostWord) = 0;                           // 15
    virtual HostWord hook16(HostWord, HostWord, HostWord) = 0;             // 16
    virtual HostWord hook17(HostWord, HostWord) = 0;                       // 17
    virtual void hook18(HostWord, HostWord, HostWord, HostWord) = 0;       // 18
    virtual bool hook19(HostWord, HostWord, HostWord) = 0;                 // 19
    virtual bool hook20(HostWord, HostWord) { return false; }              // 20
    virtual std::int32_t hook21(HostWord, HostWord) { return -1; }         // 21
    virtual const char* getPluginName() = 0;                               // 22
    virtual bool hook23() = 0;                                             // 23
    virtual std::string hook24(std::string, std::string) = 0;              // 24
    virtual void hook25(std::string, HostWord) = 0;                        // 25
    virtual void hook26(HostWord) = 0;                                     // 26
    virtual bool isSecureConnection() = 0;                                 // 27
    virtual std::string getCertSubjectName() = 0;                          // 28
    virtual bool isMutualAuthentication() = 0;                             // 29
};

#endif // PLUGIN_DICOM_SERVER_CONFIGURATION_H
