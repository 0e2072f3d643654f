// SIGINT and SIGTERM as a shutdown request that a poll loop can wait on.
//
// install() sets the handlers once per process; the handler only sets a flag
// and writes to a pipe (async-signal-safe). requested() may be read from any
// thread; waitFd() becomes readable once a request arrived and stays so.
#ifndef HOST_SHUTDOWN_SIGNAL_H
#define HOST_SHUTDOWN_SIGNAL_H

namespace host {

class ShutdownSignal {
public:
    // Installs the handlers for SIGINT and SIGTERM. Call on the main thread
    // before other threads start.
    static bool install();
    static bool requested();
    static int waitFd();
    // The same request as a signal gives, for the host's own reasons.
    static void request();
};

} // namespace host

#endif // HOST_SHUTDOWN_SIGNAL_H
