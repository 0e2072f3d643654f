#include "shutdown_signal.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace host {
namespace {

std::atomic<bool> shutdownRequested{false};
int pipeFds[2] = {-1, -1};

void onSignal(int)
{
    int savedErrno = errno;
    shutdownRequested = true;
    if (pipeFds[1] >= 0) {
        char byte = 1;
        ssize_t ignored = write(pipeFds[1], &byte, 1);
        (void)ignored;
    }
    errno = savedErrno;
}

} // namespace

bool ShutdownSignal::install()
{
    if (pipeFds[0] < 0 && pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return sigaction(SIGINT, &action, nullptr) == 0 && sigaction(SIGTERM, &action, nullptr) == 0;
}

bool ShutdownSignal::requested() { return shutdownRequested; }

int ShutdownSignal::waitFd() { return pipeFds[0]; }

void ShutdownSignal::request() { onSignal(0); }

} // namespace host
