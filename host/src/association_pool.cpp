#include "association_pool.h"

#include <platform/host_threads.h>

namespace host {

AssociationPool::AssociationPool(unsigned workers, Serve serve) : serve_(std::move(serve)), idle_(workers)
{
    threads_.reserve(workers);
    for (unsigned i = 0; i < workers; ++i)
        threads_.emplace_back([this] { work(); });
}

AssociationPool::~AssociationPool() { finish(); }

bool AssociationPool::tryHandOver(T_ASC_Association* association, unsigned long id)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (idle_ == 0 || finishing_)
            return false;
        --idle_;
        jobs_.push_back({association, id});
    }
    wake_.notify_one();
    return true;
}

void AssociationPool::finish()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        finishing_ = true;
    }
    wake_.notify_all();
    for (auto& thread : threads_)
        if (thread.joinable())
            thread.join();
}

void AssociationPool::work()
{
    ScopedThreadAnnouncement announcement;
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return !jobs_.empty() || finishing_; });
            if (jobs_.empty())
                return;
            job = jobs_.front();
            jobs_.pop_front();
        }
        serve_(job.association, job.id);
        std::lock_guard<std::mutex> lock(mutex_);
        ++idle_;
    }
}

} // namespace host
