#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const ChildOptions& options)
{
    // Everything the child needs is built before fork: after it, only
    // async-signal-safe calls.
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> envText;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('=') + 1);
        bool replaced = false;
        for (const auto& added : options.environment)
            replaced = replaced || added.compare(0, name.size(), name) == 0;
        if (!replaced)
            envText.push_back(entry);
    }
    envText.insert(envText.end(), options.environment.begin(), options.environment.end());
    std::vector<char*> env;
    for (auto& entry : envText)
        env.push_back(entry.data());
    env.push_back(nullptr);

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ < 0)
        throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        dup2(pipeFds[1], STDERR_FILENO);
        if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0)
            _exit(126);
        if (options.fileSizeLimit >= 0) {
            rlimit limit{static_cast<rlim_t>(options.fileSizeLimit), static_cast<rlim_t>(options.fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        execve(args[0], args.data(), env.data());
        // Not a path: search PATH as a shell would.
        execvpe(args[0], args.data(), env.data());
        _exit(127);
    }
    close(pipeFds[1]);
    reader_ = std::thread([this, fd = pipeFds[0]] { readOutput(fd); });
}

ChildProcess::~ChildProcess()
{
    if (exitStatus_ < 0) {
        kill(pid_, SIGKILL);
        wait();
    }
    if (reader_.joinable())
        reader_.join();
}

void ChildProcess::readOutput(int fd)
{
    char buffer[4096];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        std::lock_guard<std::mutex> lock(mutex_);
        if (n <= 0) {
            closed_ = true;
            changed_.notify_all();
            break;
        }
        output_.append(buffer, static_cast<size_t>(n));
        changed_.notify_all();
    }
    close(fd);
}

std::string ChildProcess::output() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return output_;
}

bool ChildProcess::waitForOutput(const std::function<bool(const std::string&)>& done, std::chrono::seconds limit)
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, limit, [&] { return done(output_) || closed_; });
    return done(output_);
}

bool ChildProcess::waitForText(const std::string& text, std::chrono::seconds limit)
{
    return waitForOutput([&](const std::string& out) { return out.find(text) != std::string::npos; }, limit);
}

void ChildProcess::signal(int signalNumber)
{
    if (exitStatus_ < 0)
        kill(pid_, signalNumber);
}

int ChildProcess::wait()
{
    if (exitStatus_ >= 0)
        return exitStatus_;
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (reader_.joinable())
        reader_.join();
    return exitStatus_;
}

ProcessResult runToEnd(const std::vector<std::string>& argv, const ChildOptions& options)
{
    ChildProcess child(argv, options);
    int status = child.wait();
    return {status, child.output()};
}
