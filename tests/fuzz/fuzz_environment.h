// What every fuzz target shares for the life of the process: a scratch folder,
// the calling thread in a COM apartment, the toolkit component's classes
// registered, and checks that abort with a message.
//
// Not thread-safe: the fuzz targets run on one thread.
#ifndef TESTS_FUZZ_FUZZ_ENVIRONMENT_H
#define TESTS_FUZZ_FUZZ_ENVIRONMENT_H

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace fuzz {

class Environment {
public:
    // The process's one environment, set up on first use.
    static Environment& get();

    const std::filesystem::path& scratch() const { return scratch_; }

private:
    Environment();
    std::filesystem::path scratch_;
};

// `path` with every '/' shown as '\', as the Win32 functions take it.
std::string windowsPath(const std::filesystem::path& path);

void writeBytes(const std::filesystem::path& path, std::string_view bytes);

// Removes everything inside `folder`, keeping the folder.
void emptyFolder(const std::filesystem::path& folder);

// Aborts, naming the broken invariant, when `holds` is false.
void check(bool holds, std::string_view invariant);

// Counts of what a target must give back on every path: BSTRs alive in the
// process and COM initialisations of the calling thread.
struct ResourceCounts {
    long liveBstrs;
    unsigned long apartmentDepth;
    bool operator==(const ResourceCounts&) const = default;
};
ResourceCounts resourceCounts();

} // namespace fuzz

#endif // TESTS_FUZZ_FUZZ_ENVIRONMENT_H
