// Live-object and lock counts; see module_lifetime.h.
#include "module_lifetime.h"

#include <atomic>

namespace dicomkit {

namespace {

std::atomic<long> liveObjects{0};
std::atomic<long> serverLocks{0};

} // namespace

void objectCreated() { liveObjects.fetch_add(1, std::memory_order_relaxed); }
void objectDestroyed() { liveObjects.fetch_sub(1, std::memory_order_relaxed); }
void serverLocked() { serverLocks.fetch_add(1, std::memory_order_relaxed); }
void serverUnlocked() { serverLocks.fetch_sub(1, std::memory_order_relaxed); }

bool moduleIdle() { return liveObjects.load() == 0 && serverLocks.load() == 0; }

} // namespace dicomkit
