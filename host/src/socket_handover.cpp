#include "socket_handover.h"

#include <dcmtk/dcmnet/dul.h>

#include <unistd.h>

#include <mutex>

namespace host {
namespace {

constexpr long kMaxReceivePduLength = 65536;

std::mutex handoverMutex;

// The lock held by this thread while DCMTK has not yet taken its socket.
thread_local std::unique_lock<std::mutex>* pendingHandover = nullptr;

void releaseHandover()
{
    if (pendingHandover != nullptr && pendingHandover->owns_lock()) {
        dcmExternalSocketHandle.set(-1);
        pendingHandover->unlock();
    }
}

template <class Layer>
class HandoverLayer : public Layer {
public:
    using Layer::Layer;

    DcmTransportConnection* createConnection(DcmNativeSocketType openSocket, OFBool useSecureLayer) override
    {
        releaseHandover();
        return Layer::createConnection(openSocket, useSecureLayer);
    }
};

} // namespace

std::unique_ptr<DcmTransportLayer> makeHandoverLayer() { return std::make_unique<HandoverLayer<DcmTransportLayer>>(); }

std::unique_ptr<DcmTLSTransportLayer> makeHandoverTlsLayer()
{
    return std::make_unique<HandoverLayer<DcmTLSTransportLayer>>(NET_ACCEPTOR, nullptr, OFTrue);
}

T_ASC_Network* openHandoverNetwork(DcmTransportLayer& layer, int acseTimeout, std::string& error)
{
    T_ASC_Network* network = nullptr;
    OFCondition cond;
    {
        // With an external socket handle set, DCMTK makes no listener.
        std::lock_guard<std::mutex> lock(handoverMutex);
        dcmExternalSocketHandle.set(0);
        cond = ASC_initializeNetwork(NET_ACCEPTOR, 0, acseTimeout, &network);
        dcmExternalSocketHandle.set(-1);
    }
    if (cond.good())
        cond = ASC_setTransportLayer(network, &layer, 0);
    if (cond.bad()) {
        error = std::string("cannot initialise the DICOM network: ") + cond.text();
        if (network != nullptr)
            ASC_dropNetwork(&network);
        return nullptr;
    }
    return network;
}

OFCondition receiveAssociation(T_ASC_Network* network, int socket, bool secure, T_ASC_Association** association)
{
    std::unique_lock<std::mutex> lock(handoverMutex);
    dcmExternalSocketHandle.set(socket);
    pendingHandover = &lock;
    OFCondition cond = ASC_receiveAssociation(network, association, kMaxReceivePduLength, nullptr, nullptr,
                                              secure ? OFTrue : OFFalse, DUL_BLOCK, 0);
    const bool socketTaken = !lock.owns_lock();
    releaseHandover();
    pendingHandover = nullptr;
    if (!socketTaken)
        close(socket);
    return cond;
}

} // namespace host
