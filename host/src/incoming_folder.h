// The folder where received objects wait for the module, and the unique
// names they get there.
//
// A name is "<pid>-<counter>-<random>.dcm": never derived from the object's
// content, unique within the process by the counter and across processes and
// restarts by the process id and 64 random bits. An object is written under
// the same name ending in ".part" and renamed when complete, so a ".dcm" in
// the folder is always whole. Thread-safe.
#ifndef HOST_INCOMING_FOLDER_H
#define HOST_INCOMING_FOLDER_H

#include <atomic>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>

namespace host {

struct IncomingName {
    std::filesystem::path partial; // written first
    std::filesystem::path complete; // renamed to, and handed to the module
};

class IncomingFolder {
public:
    explicit IncomingFolder(std::filesystem::path folder);

    const std::filesystem::path& path() const { return folder_; }

    // Creates the folder and its parents when missing.
    bool ensureExists(std::string& error) const;

    IncomingName reserveName();

private:
    std::filesystem::path folder_;
    std::atomic<unsigned long long> counter_{0};
    std::mutex randomMutex_;
    std::mt19937_64 random_;
};

} // namespace host

#endif // HOST_INCOMING_FOLDER_H
