#include "acceptor_network.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace host {
namespace {

int bindListeningSocket(const std::string& bindAddress, std::uint16_t port, std::string& error)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (!bindAddress.empty() && inet_pton(AF_INET, bindAddress.c_str(), &address.sin_addr) != 1) {
        error = "not an IPv4 address: " + bindAddress;
        return -1;
    }
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 64) != 0) {
        error = "cannot listen on " + (bindAddress.empty() ? std::string("port ") : bindAddress + ":") +
                std::to_string(port) + ": " + std::strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

T_ASC_Network* openAcceptorNetwork(const std::string& bindAddress, std::uint16_t port, int acseTimeout,
                                   std::string& error)
{
    int ownSocket = bindListeningSocket(bindAddress, port, error);
    if (ownSocket < 0)
        return nullptr;

    // DCMTK 3.6.7 binds its acceptor to every interface and offers no way to
    // choose the address. It gets port 0 (a throw-away ephemeral port), and
    // the host's socket takes the place of DCMTK's under the same descriptor
    // number, so DCMTK accepts on the host's address and port.
    T_ASC_Network* network = nullptr;
    OFCondition cond = ASC_initializeNetwork(NET_ACCEPTOR, 0, acseTimeout, &network);
    if (cond.bad()) {
        error = std::string("cannot initialise the DICOM network: ") + cond.text();
        close(ownSocket);
        return nullptr;
    }
    int dcmtkSocket = static_cast<int>(DUL_networkSocket(network->network));
    if (dcmtkSocket < 0 || dup2(ownSocket, dcmtkSocket) < 0) {
        error = std::string("cannot install the listening socket: ") + std::strerror(errno);
        close(ownSocket);
        ASC_dropNetwork(&network);
        return nullptr;
    }
    close(ownSocket);
    fcntl(dcmtkSocket, F_SETFD, FD_CLOEXEC);
    return network;
}

int listeningSocket(T_ASC_Network* network) { return static_cast<int>(DUL_networkSocket(network->network)); }

} // namespace host
