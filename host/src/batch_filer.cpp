#include "batch_filer.h"

#include "host_log.h"
#include "shutdown_signal.h"
#include "windows_paths.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace host {
namespace {

// The regular files named by the operands; missing operands are reported
// and counted as failures.
std::vector<std::filesystem::path> collectFiles(const std::vector<std::filesystem::path>& operands,
                                                unsigned& unusable)
{
    std::vector<std::filesystem::path> files;
    for (const auto& operand : operands) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(operand, ec)) {
            files.push_back(std::filesystem::absolute(operand));
            continue;
        }
        if (!std::filesystem::is_directory(operand, ec)) {
            logLine(operand.string() + ": not a file or folder");
            ++unusable;
            continue;
        }
        std::vector<std::filesystem::path> found;
        std::filesystem::recursive_directory_iterator it(operand, ec), end;
        for (; !ec && it != end; it.increment(ec))
            if (it->is_regular_file(ec))
                found.push_back(std::filesystem::absolute(it->path()));
        if (ec) {
            logLine(operand.string() + ": " + ec.message());
            ++unusable;
        }
        std::sort(found.begin(), found.end());
        files.insert(files.end(), found.begin(), found.end());
    }
    return files;
}

class ProgressBar {
public:
    explicit ProgressBar(size_t total) : total_(total), enabled_(isatty(STDERR_FILENO) && total > 0) {}
    ~ProgressBar() { clear(); }

    void clear()
    {
        if (enabled_)
            setStatusLine("");
    }

    void show(size_t done, unsigned failed)
    {
        if (!enabled_)
            return;
        auto now = std::chrono::steady_clock::now();
        if (done != total_ && now - lastDrawn_ < std::chrono::milliseconds(100))
            return;
        lastDrawn_ = now;
        constexpr size_t width = 40;
        const size_t filled = width * done / total_;
        setStatusLine("[" + std::string(filled, '#') + std::string(width - filled, '.') + "] " +
                      std::to_string(done) + "/" + std::to_string(total_) +
                      (failed ? ", " + std::to_string(failed) + " failed" : std::string()));
    }

private:
    size_t total_;
    bool enabled_;
    std::chrono::steady_clock::time_point lastDrawn_{};
};

} // namespace

int runBatchFiling(IDicomServerConfiguration& configuration, const BatchOptions& options)
{
    unsigned failed = 0;
    unsigned filed = 0;
    const std::vector<std::filesystem::path> files = collectFiles(options.paths, failed);
    ProgressBar progress(files.size());

    size_t done = 0;
    for (const auto& file : files) {
        if (ShutdownSignal::requested()) {
            logLine("interrupted: " + std::to_string(files.size() - done) + " file(s) not handed over");
            failed += static_cast<unsigned>(files.size() - done);
            break;
        }
        std::filesystem::path handed = file;
        std::string problem;
        if (options.copyInto != nullptr) {
            IncomingName name = options.copyInto->reserveName();
            std::error_code ec;
            std::filesystem::copy_file(file, name.partial, ec);
            if (!ec)
                std::filesystem::rename(name.partial, name.complete, ec);
            if (ec) {
                std::filesystem::remove(name.partial, ec);
                problem = "cannot copy into the incoming folder";
            }
            handed = name.complete;
        }
        if (problem.empty()) {
            bool accepted = false;
            try {
                accepted = configuration.storeReceivedFile(toWindowsForm(handed.string()), options.callingAeTitle,
                                                           options.calledAeTitle);
            } catch (...) {
            }
            if (!accepted)
                problem = "the module refused it";
        }
        if (problem.empty()) {
            ++filed;
            logVerbose(file.string() + ": filed");
        } else {
            ++failed;
            logLine(file.string() + ": failed: " + problem);
        }
        progress.show(++done, failed);
    }
    progress.clear();
    logLine("filed " + std::to_string(filed) + ", failed " + std::to_string(failed));
    return failed == 0 ? 0 : 1;
}

} // namespace host
