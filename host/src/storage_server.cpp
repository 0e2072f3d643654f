#include "storage_server.h"

#include "acceptor_network.h"
#include "association_handler.h"
#include "association_pool.h"
#include "host_log.h"
#include "shutdown_signal.h"
#include "tls_credentials.h"

#include <dcmtk/dcmtls/tlslayer.h>

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <memory>

namespace host {
namespace {

// How long a peer may take, once connected, to send its association request.
constexpr int kAcseTimeoutSeconds = 30;
constexpr long kMaxReceivePduLength = 65536;

void rejectBusy(T_ASC_Association* association, unsigned long id, unsigned limit)
{
    T_ASC_RejectParameters rejection = {ASC_RESULT_REJECTEDTRANSIENT, ASC_SOURCE_SERVICEPROVIDER_PRESENTATION_RELATED,
                                        ASC_REASON_SP_PRES_LOCALLIMITEXCEEDED};
    ASC_rejectAssociation(association, &rejection);
    const T_ASC_Parameters& params = *association->params;
    logLine("association #" + std::to_string(id) + " from " + params.DULparams.callingPresentationAddress + ": " +
            params.DULparams.callingAPTitle + " -> " + params.DULparams.calledAPTitle +
            " rejected: too many associations (limit " + std::to_string(limit) + ")");
    ASC_dropAssociation(association);
    ASC_destroyAssociation(&association);
}

std::unique_ptr<DcmTLSTransportLayer> makeTlsLayer(const ServerSettings& settings,
                                                   const std::filesystem::path& certDir, std::string& error)
{
    std::optional<TlsCredentials> credentials = findTlsCredentials(certDir, settings.certSubjectName, error);
    if (!credentials)
        return nullptr;
    auto layer = std::make_unique<DcmTLSTransportLayer>(NET_ACCEPTOR, nullptr, OFTrue);
    auto check = [&](OFCondition cond, const std::string& what) {
        if (cond.bad())
            error = what + ": " + cond.text();
        return cond.good();
    };
    if (!check(layer->setTLSProfile(TSP_Profile_BCP195), "TLS profile") ||
        !check(layer->activateCipherSuites(), "TLS cipher suites") ||
        !check(layer->setPrivateKeyFile(credentials->privateKey.c_str(), DCF_Filetype_PEM),
               "private key " + credentials->privateKey.string()) ||
        !check(layer->setCertificateFile(credentials->certificate.c_str(), DCF_Filetype_PEM),
               "certificate " + credentials->certificate.string()))
        return nullptr;
    if (!layer->checkPrivateKeyMatchesCertificate()) {
        error = credentials->privateKey.string() + " does not belong to " + credentials->certificate.string();
        return nullptr;
    }
    for (const auto& trusted : credentials->trustedCertificates)
        layer->addTrustedCertificateFile(trusted.c_str(), DCF_Filetype_PEM);
    layer->setCertificateVerification(settings.mutualAuthentication ? DCV_requireCertificate : DCV_ignoreCertificate);
    logLine("TLS certificate " + credentials->certificate.string() + ", key " + credentials->privateKey.string() +
            ", " + std::to_string(credentials->trustedCertificates.size()) + " trusted certificate(s) in " +
            certDir.string());
    return layer;
}

enum class Wake { Connection, Shutdown };

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
    std::unique_ptr<DcmTLSTransportLayer> tls;
    std::string error;
    if (settings.secureConnection) {
        tls = makeTlsLayer(settings, options.certDir, error);
        if (!tls) {
            logLine("cannot set up TLS: " + error);
            return 1;
        }
    }

    T_ASC_Network* network = openAcceptorNetwork(options.bindAddress, settings.port, kAcseTimeoutSeconds, error);
    if (network == nullptr) {
        logLine(error);
        return 1;
    }
    if (tls) {
        OFCondition cond = ASC_setTransportLayer(network, tls.get(), 0);
        if (cond.bad()) {
            logLine(std::string("cannot set up TLS: ") + cond.text());
            ASC_dropNetwork(&network);
            return 1;
        }
    }

    ServeContext context{configuration, settings.aeTitle, incoming};
    AssociationPool pool(options.maxAssociations, [&context](T_ASC_Association* association, unsigned long id) {
        AssociationHandler(context, association, id).run();
    });

    logLine("listening on " + (options.bindAddress.empty() ? std::string("*") : options.bindAddress) + ":" +
            std::to_string(settings.port) + " (up to " + std::to_string(options.maxAssociations) +
            " associations at once)");

    unsigned long nextId = 1;
    const int listeningFd = listeningSocket(network);
    while (waitForConnection(listeningFd) == Wake::Connection) {
        T_ASC_Association* association = nullptr;
        OFCondition cond = ASC_receiveAssociation(network, &association, kMaxReceivePduLength, nullptr, nullptr,
                                                  tls ? OFTrue : OFFalse, DUL_NOBLOCK, 1);
        if (cond.bad()) {
            if (cond != DUL_NOASSOCIATIONREQUEST)
                logLine("association #" + std::to_string(nextId++) + " failed before negotiation: " + cond.text());
            if (association != nullptr) {
                ASC_dropAssociation(association);
                ASC_destroyAssociation(&association);
            }
            continue;
        }
        const unsigned long id = nextId++;
        if (!pool.tryHandOver(association, id))
            rejectBusy(association, id, options.maxAssociations);
    }

    // Stop listening at once (new connections are refused) but keep the
    // network itself until the associations it made have ended.
    shutdown(listeningFd, SHUT_RDWR);
    logLine("shutting down: no new associations, finishing the objects in flight");
    pool.finish();
    ASC_dropNetwork(&network);
    logLine("stopped");
    return 0;
}

} // namespace host
