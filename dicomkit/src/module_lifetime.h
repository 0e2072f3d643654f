// Counts of live component objects and class-object locks, for
// DllCanUnloadNow. Atomic; thread-safe.
#ifndef DICOMKIT_MODULE_LIFETIME_H
#define DICOMKIT_MODULE_LIFETIME_H

namespace dicomkit {

void objectCreated();
void objectDestroyed();
void serverLocked();
void serverUnlocked();

// No object alive and no lock held.
bool moduleIdle();

} // namespace dicomkit

#endif // DICOMKIT_MODULE_LIFETIME_H
