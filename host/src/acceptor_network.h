// The listening DICOM network of `dicom-host serve`, bound to one IPv4
// address or to every interface.
#ifndef HOST_ACCEPTOR_NETWORK_H
#define HOST_ACCEPTOR_NETWORK_H

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmnet/assoc.h>

#include <cstdint>
#include <string>

namespace host {

// Creates an acceptor network listening on `bindAddress` (IPv4 text; empty
// for every interface) and `port`. `acseTimeout` bounds the wait for an
// association request once a connection is open, in seconds. Answers null
// and sets `error` on failure. Free it with ASC_dropNetwork.
T_ASC_Network* openAcceptorNetwork(const std::string& bindAddress, std::uint16_t port, int acseTimeout,
                                   std::string& error);

// The listening socket, for waiting on it with poll().
int listeningSocket(T_ASC_Network* network);

} // namespace host

#endif // HOST_ACCEPTOR_NETWORK_H
