// A fixed set of worker threads that serve associations, one each at a time.
//
// Each worker owns one DICOM network (socket_handover.h) and serves the
// connections handed to it: reads the association request and serves the
// association to its end. Every worker announces itself to the platform for
// its whole life (the modules loaded when the pool starts get
// DLL_THREAD_ATTACH on it), so the pool must start after the module is
// loaded and finish before it is freed. tryHandOver() is called from the
// listening thread; finish() lets the workers serve what was handed over,
// then joins them and drops their networks. Thread-safe.
#ifndef HOST_ASSOCIATION_POOL_H
#define HOST_ASSOCIATION_POOL_H

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmnet/assoc.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace host {

class AssociationPool {
public:
    using Serve = std::function<void(T_ASC_Network* network, int socket, unsigned long id)>;

    // One worker per network; the pool takes the networks over.
    AssociationPool(std::vector<T_ASC_Network*> networks, Serve serve);
    ~AssociationPool();

    AssociationPool(const AssociationPool&) = delete;
    AssociationPool& operator=(const AssociationPool&) = delete;

    // Queues the connected socket for an idle worker; false (and nothing
    // taken) when every worker is busy.
    bool tryHandOver(int socket, unsigned long id);
    void finish();

private:
    struct Job {
        int socket;
        unsigned long id;
    };
    void work(T_ASC_Network* network);

    Serve serve_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    size_t idle_;
    bool finishing_ = false;
    std::vector<T_ASC_Network*> networks_;
    std::vector<std::thread> threads_;
};

} // namespace host

#endif // HOST_ASSOCIATION_POOL_H
