#include "incoming_folder.h"

#include <unistd.h>

#include <cstdio>

namespace host {

IncomingFolder::IncomingFolder(std::filesystem::path folder) : folder_(std::move(folder))
{
    std::random_device seed;
    random_.seed((static_cast<std::uint64_t>(seed()) << 32) ^ seed());
}

bool IncomingFolder::ensureExists(std::string& error) const
{
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    if (ec || !std::filesystem::is_directory(folder_)) {
        error = "cannot create the incoming folder " + folder_.string() + ": " +
                (ec ? ec.message() : std::string("not a folder"));
        return false;
    }
    return true;
}

IncomingName IncomingFolder::reserveName()
{
    std::uint64_t random;
    {
        std::lock_guard<std::mutex> lock(randomMutex_);
        random = random_();
    }
    char stem[80];
    std::snprintf(stem, sizeof stem, "%ld-%llu-%016llx", static_cast<long>(getpid()), ++counter_,
                  static_cast<unsigned long long>(random));
    return {folder_ / (std::string(stem) + ".part"), folder_ / (std::string(stem) + ".dcm")};
}

} // namespace host
