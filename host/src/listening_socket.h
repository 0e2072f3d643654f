// The TCP socket `dicom-host serve` listens on: one IPv4 address or every
// interface. The host accepts connections itself and hands each to DCMTK
// (socket_handover.h).
#ifndef HOST_LISTENING_SOCKET_H
#define HOST_LISTENING_SOCKET_H

#include <cstdint>
#include <string>

namespace host {

// A listening socket on `bindAddress` (IPv4 text; empty for every interface)
// and `port`, close-on-exec; -1 with `error` set on failure.
int openListeningSocket(const std::string& bindAddress, std::uint16_t port, std::string& error);

} // namespace host

#endif // HOST_LISTENING_SOCKET_H
