// One association of `dicom-host serve`, from its request to its end:
// checks the called AE title, negotiates the presentation contexts, then
// answers C-ECHO and C-STORE requests until the peer releases or aborts, or
// the host shuts down (checked between requests, so an object being received
// is finished and answered first).
//
// A received object is written under a fresh name in the incoming folder as
// a DICOM file with meta header in its transfer syntax, as received, and
// handed to the module's storeReceivedFile; the response is Success when the
// module takes it, 0xA700 (out of resources) when it refuses or when the file
// cannot be written (the partial file is then deleted at once).
//
// An instance is used by one thread, which must be announced to the platform.
#ifndef HOST_ASSOCIATION_HANDLER_H
#define HOST_ASSOCIATION_HANDLER_H

#include "host/server_configuration.h"
#include "incoming_folder.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmnet/assoc.h>
#include <dcmtk/dcmnet/dimse.h>

#include <string>

namespace host {

// What every association of one server shares; the server outlives them.
struct ServeContext {
    IDicomServerConfiguration& configuration;
    std::string aeTitle;
    IncomingFolder& incoming;
};

class AssociationHandler {
public:
    // Takes ownership of `association`, as received (not yet acknowledged).
    AssociationHandler(ServeContext& context, T_ASC_Association* association, unsigned long id);
    ~AssociationHandler();

    AssociationHandler(const AssociationHandler&) = delete;
    AssociationHandler& operator=(const AssociationHandler&) = delete;

    void run();

private:
    struct ReceivedFile;

    bool negotiate();
    void serveRequests();
    OFCondition store(T_ASC_PresentationContextID presentationContextId, const T_DIMSE_C_StoreRQ& request);
    ReceivedFile receiveIntoFile(T_ASC_PresentationContextID presentationContextId,
                                 const T_DIMSE_C_StoreRQ& request, const IncomingName& name);
    bool handToModule(const std::string& path);
    void end(const std::string& why, bool abort);
    std::string prefix() const;

    ServeContext& context_;
    T_ASC_Association* association_;
    unsigned long id_;
    std::string peer_;
    std::string callingAeTitle_;
    std::string calledAeTitle_;
};

} // namespace host

#endif // HOST_ASSOCIATION_HANDLER_H
