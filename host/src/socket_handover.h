// Receiving an association request on a socket the host accepted itself.
//
// DCMTK 3.6.7 reads an association request only from a socket it accepts on
// its own listener (bound to every interface), or from the one the
// process-wide dcmExternalSocketHandle names, which it reads without any
// lock. receiveAssociation() sets that handle under a lock of its own; the
// transport layers made here release the lock as soon as DCMTK has taken the
// socket over (createConnection), so TLS handshakes and association requests
// are read outside the lock, on each worker in parallel.
//
// Thread-safe, given one network per thread: networks are not shared.
#ifndef HOST_SOCKET_HANDOVER_H
#define HOST_SOCKET_HANDOVER_H

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmnet/assoc.h>
#include <dcmtk/dcmnet/dcmlayer.h>
#include <dcmtk/dcmtls/tlslayer.h>

#include <memory>
#include <string>

namespace host {

std::unique_ptr<DcmTransportLayer> makeHandoverLayer();
std::unique_ptr<DcmTLSTransportLayer> makeHandoverTlsLayer();

// An acceptor network with no listener of its own, reading requests through
// `layer` (one of the above, which must outlive it). `acseTimeout` bounds
// the wait for the request, in seconds. Null with `error` set on failure;
// free it with ASC_dropNetwork.
T_ASC_Network* openHandoverNetwork(DcmTransportLayer& layer, int acseTimeout, std::string& error);

// Reads the association request (after the TLS handshake when `secure`) on
// the connected `socket`, which it takes over: it is closed with the
// association, or at once on failure. `association` may be set even on
// failure; the caller drops and destroys it.
OFCondition receiveAssociation(T_ASC_Network* network, int socket, bool secure, T_ASC_Association** association);

} // namespace host

#endif // HOST_SOCKET_HANDOVER_H
