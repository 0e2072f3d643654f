#include "association_pool.h"

#include <platform/host_threads.h>

namespace host {

AssociationPool::AssociationPool(std::vector<T_ASC_Network*> networks, Serve serve)
    : serve_(std::move(serve)), idle_(networks.size()), networks_(std::move(networks))
{
    threads_.reserve(networks_.size());
    for (T_ASC_Network* network : networks_)
        threads_.emplace_back([this, network] { work(network); });
}

AssociationPool::~AssociationPool() { finish(); }

bool AssociationPool::tryHandOver(int socket, unsigned long id)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (idle_ == 0 || finishing_)
            return false;
        --idle_;
        jobs_.push_back({socket, id});
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
    for (T_ASC_Network*& network : networks_)
        if (network != nullptr)
            ASC_dropNetwork(&network);
}

void AssociationPool::work(T_ASC_Network* network)
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
        serve_(network, job.socket, job.id);
        std::lock_guard<std::mutex> lock(mutex_);
        ++idle_;
    }
}

} // namespace host
