// A fixed set of worker threads that serve associations, one each at a time.
//
// Every worker announces itself to the platform for its whole life (the
// modules loaded when the pool starts get DLL_THREAD_ATTACH on it), so the
// pool must start after the module is loaded and finish before it is freed.
// tryHandOver() is called from the listening thread; finish() serves what was
// handed over, then joins the workers. Thread-safe.
#ifndef HOST_ASSOCIATION_POOL_H
#define HOST_ASSOCIATION_POOL_H

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmnet/assoc.h>

namespace host {

class AssociationPool {
public:
    using Serve = std::function<void(T_ASC_Association*, unsigned long id)>;

    AssociationPool(unsigned workers, Serve serve);
    ~AssociationPool();

    AssociationPool(const AssociationPool&) = delete;
    AssociationPool& operator=(const AssociationPool&) = delete;

    // Queues the association for an idle worker; false (and nothing taken)
    // when every worker is busy.
    bool tryHandOver(T_ASC_Association* association, unsigned long id);
    void finish();

private:
    struct Job {
        T_ASC_Association* association;
        unsigned long id;
    };
    void work();

    Serve serve_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    unsigned idle_;
    bool finishing_ = false;
    std::vector<std::thread> threads_;
};

} // namespace host

#endif // HOST_ASSOCIATION_POOL_H
