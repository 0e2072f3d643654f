// A child process whose standard output and error are collected while it
// runs, so a test can wait for a line to appear instead of sleeping.
#ifndef TESTS_HOST_CHILD_PROCESS_H
#define TESTS_HOST_CHILD_PROCESS_H

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ChildOptions {
    std::vector<std::string> environment;  // "NAME=value", added to or replacing the test's own
    long long fileSizeLimit = -1;          // RLIMIT_FSIZE in bytes; -1 leaves it
    std::string workingDirectory;          // empty: the test's own
};

class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& argv, const ChildOptions& options = {});
    ~ChildProcess(); // kills a child still running

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    std::string output() const;

    // Waits until `done(output)` holds or the child closed its output.
    // `limit` guards against a hang; it is no pacing device.
    bool waitForOutput(const std::function<bool(const std::string&)>& done,
                       std::chrono::seconds limit = std::chrono::seconds(60));
    bool waitForText(const std::string& text, std::chrono::seconds limit = std::chrono::seconds(60));

    void signal(int signalNumber);
    // Waits for the child to end: its exit status, or 128 + the signal.
    int wait();

private:
    void readOutput(int fd);

    pid_t pid_ = -1;
    int exitStatus_ = -1;
    std::thread reader_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::string output_;
    bool closed_ = false;
};

// Runs to the end: exit status and everything the child wrote.
struct ProcessResult {
    int exitStatus;
    std::string output;
};
ProcessResult runToEnd(const std::vector<std::string>& argv, const ChildOptions& options = {});

#endif // TESTS_HOST_CHILD_PROCESS_H
