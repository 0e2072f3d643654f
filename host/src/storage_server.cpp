#include "storage_server.h"

#include "association_handler.h"
#include "association_pool.h"
#include "host_log.h"
#include "listening_socket.h"
#include "shutdown_signal.h"
#include "socket_handover.h"
#include "tls_credentials.h"

#include <dcmtk/dcmtls/tlslayer.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace host {
namespace {

// How long a peer may take, once connected, to send its association request.
constexpr int kAcseTimeoutSeconds = 30;
// The same while every worker is busy and the listening thread reads the
// request only to reject it.
constexpr int kRejectAcseTimeoutSeconds = 5;

std::string peerAddress(int socket)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    char text[INET_ADDRSTRLEN] = "?";
    if (getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return text;
}

// Connections whose association request is still being read. At shutdown
// they are cut, so that a peer that connected and sent nothing does not hold
// the server up for the whole request timeout.
class AwaitedRequests {
public:
    void add(int socket)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sockets_.insert(socket);
    }
    void remove(int socket)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sockets_.erase(socket);
    }
    void cutAll()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (int socket : sockets_)
            shutdown(socket, SHUT_RDWR);
    }

private:
    std::mutex mutex_;
    std::set<int> sockets_;
};

void dropAssociation(T_ASC_Association*& association)
{
    if (association != nullptr) {
        ASC_dropAssociation(association);
        ASC_destroyAssociation(&association);
    }
}

// Runs on a worker: the association request, then the association.
void serveConnection(ServeContext& context, AwaitedRequests& awaited, T_ASC_Network* network, int socket, bool secure,
                     unsigned long id)
{
    const std::string peer = peerAddress(socket);
    T_ASC_Association* association = nullptr;
    awaited.add(socket);
    if (ShutdownSignal::requested()) {
        awaited.remove(socket);
        close(socket);
        logLine("association #" + std::to_string(id) + " from " + peer + " closed: shutting down");
        return;
    }
    OFCondition cond = receiveAssociation(network, socket, secure, &association);
    awaited.remove(socket);
    if (cond.bad()) {
        logLine("association #" + std::to_string(id) + " from " + peer + " failed before negotiation: " + cond.text());
        dropAssociation(association);
        return;
    }
    AssociationHandler(context, association, id).run();
}

void rejectBusy(T_ASC_Network* network, int socket, bool secure, unsigned long id, size_t limit)
{
    const std::string peer = peerAddress(socket);
    T_ASC_Association* association = nullptr;
    OFCondition cond = receiveAssociation(network, socket, secure, &association);
    if (cond.good()) {
        T_ASC_RejectParameters rejection = {ASC_RESULT_REJECTEDTRANSIENT,
                                            ASC_SOURCE_SERVICEPROVIDER_PRESENTATION_RELATED,
                                            ASC_REASON_SP_PRES_LOCALLIMITEXCEEDED};
        ASC_rejectAssociation(association, &rejection);
        const T_ASC_Parameters& params = *association->params;
        logLine("association #" + std::to_string(id) + " from " + peer + ": " + params.DULparams.callingAPTitle +
                " -> " + params.DULparams.calledAPTitle + " rejected: too many associations (limit " +
                std::to_string(limit) + ")");
    } else {
        logLine("association #" + std::to_string(id) + " from " + peer + " failed before negotiation: " + cond.text());
    }
    dropAssociation(association);
}

bool configureTls(DcmTLSTransportLayer& layer, const ServerSettings& settings, const std::filesystem::path& certDir,
                  std::string& error)
{
    std::optional<TlsCredentials> credentials = findTlsCredentials(certDir, settings.certSubjectName, error);
    if (!credentials)
        return false;
    auto check = [&](OFCondition cond, const std::string& what) {
        if (cond.bad())
            error = what + ": " + cond.text();
        return cond.good();
    };
    if (!check(layer.setTLSProfile(TSP_Profile_BCP195), "TLS profile") ||
        !check(layer.activateCipherSuites(), "TLS cipher suites") ||
        !check(layer.setPrivateKeyFile(credentials->privateKey.c_str(), DCF_Filetype_PEM),
               "private key " + credentials->privateKey.string()) ||
        !check(layer.setCertificateFile(credentials->certificate.c_str(), DCF_Filetype_PEM),
               "certificate " + credentials->certificate.string()))
        return false;
    if (!layer.checkPrivateKeyMatchesCertificate()) {
        error = credentials->privateKey.string() + " does not belong to " + credentials->certificate.string();
        return false;
    }
    for (const auto& trusted : credentials->trustedCertificates)
        layer.addTrustedCertificateFile(trusted.c_str(), DCF_Filetype_PEM);
    layer.setCertificateVerification(settings.mutualAuthentication ? DCV_requireCertificate : DCV_ignoreCertificate);
    logLine("TLS certificate " + credentials->certificate.string() + ", key " + credentials->privateKey.string() +
            ", " + std::to_string(credentials->trustedCertificates.size()) + " trusted certificate(s) in " +
            certDir.string());
    return true;
}

// The DICOM networks of one server: one for each worker, one for rejecting
// requests while every worker is busy.
struct ServerNetworks {
    std::vector<T_ASC_Network*> workers;
    T_ASC_Network* reject = nullptr;

    ServerNetworks() = default;
    ServerNetworks(const ServerNetworks&) = delete;
    ServerNetworks& operator=(const ServerNetworks&) = delete;
    ~ServerNetworks()
    {
        for (T_ASC_Network*& network : workers)
            ASC_dropNetwork(&network);
        if (reject != nullptr)
            ASC_dropNetwork(&reject);
    }

    bool open(DcmTransportLayer& layer, size_t workerCount, std::string& error)
    {
        reject = openHandoverNetwork(layer, kRejectAcseTimeoutSeconds, error);
        while (reject != nullptr && workers.size() < workerCount) {
            T_ASC_Network* network = openHandoverNetwork(layer, kAcseTimeoutSeconds, error);
            if (network == nullptr)
                return false;
            workers.push_back(network);
        }
        return reject != nullptr;
    }

    std::vector<T_ASC_Network*> takeWorkers() { return std::exchange(workers, {}); }
};

enum class Wake { Connection, Shutdown };

// Running out of descriptors leaves the connection in the backlog, and poll
// would report it at once again: give the workers a moment to free some.
void waitAfterFailedAccept(int errorNumber)
{
    if (errorNumber == EINTR || errorNumber == ECONNABORTED || errorNumber == EAGAIN)
        return;
    logLine(std::string("cannot accept a connection: ") + std::strerror(errorNumber));
    pollfd shutdownFd = {ShutdownSignal::waitFd(), POLLIN, 0};
    poll(&shutdownFd, 1, 100);
}

Wake waitForConnection(int listeningFd)
{
    pollfd fds[2] = {{listeningFd, POLLIN, 0}, {ShutdownSignal::waitFd(), POLLIN, 0}};
    for (;;) {
        if (ShutdownSignal::requested())
            return Wake::Shutdown;
        int ready = poll(fds, 2, -1);
        if (ready < 0 && errno != EINTR)
            return Wake::Shutdown;
        if (ShutdownSignal::requested())
            return Wake::Shutdown;
        if (ready > 0 && (fds[0].revents & POLLIN))
            return Wake::Connection;
    }
}

} // namespace

int runStorageServer(IDicomServerConfiguration& configuration, const ServerSettings& settings,
                     IncomingFolder& incoming, const ServeOptions& options)
{
    if (settings.port == 0) {
        logLine("no port to listen on: PORT in DicomServer.ini is 0");
        return 1;
    }
    std::string error;
    const bool secure = settings.secureConnection;
    std::unique_ptr<DcmTransportLayer> layer;
    if (secure) {
        std::unique_ptr<DcmTLSTransportLayer> tls = makeHandoverTlsLayer();
        if (!configureTls(*tls, settings, options.certDir, error)) {
            logLine("cannot set up TLS: " + error);
            return 1;
        }
        layer = std::move(tls);
    } else {
        layer = makeHandoverLayer();
    }

    ServerNetworks networks;
    if (!networks.open(*layer, options.maxAssociations, error)) {
        logLine(error);
        return 1;
    }
    const int listeningFd = openListeningSocket(options.bindAddress, settings.port, error);
    if (listeningFd < 0) {
        logLine(error);
        return 1;
    }

    ServeContext context{configuration, settings.aeTitle, incoming};
    AwaitedRequests awaited;
    AssociationPool pool(networks.takeWorkers(),
                         [&context, &awaited, secure](T_ASC_Network* network, int socket, unsigned long id) {
                             serveConnection(context, awaited, network, socket, secure, id);
                         });

    logLine("listening on " + (options.bindAddress.empty() ? std::string("*") : options.bindAddress) + ":" +
            std::to_string(settings.port) + " (up to " + std::to_string(options.maxAssociations) +
            " associations at once)");

    unsigned long nextId = 1;
    while (waitForConnection(listeningFd) == Wake::Connection) {
        const int socket = accept4(listeningFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0) {
            waitAfterFailedAccept(errno);
            continue;
        }
        const unsigned long id = nextId++;
        if (!pool.tryHandOver(socket, id))
            rejectBusy(networks.reject, socket, secure, id, options.maxAssociations);
    }

    // New connections are refused from here on; associations already
    // accepted finish the object in flight and end.
    close(listeningFd);
    logLine("shutting down: no new associations, finishing the objects in flight");
    awaited.cutAll();
    pool.finish();
    logLine("stopped");
    return 0;
}

} // namespace host
