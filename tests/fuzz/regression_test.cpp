// Replays every saved input of the fuzz targets through the same entry points
// in the normal build: the seed corpora (tests/fuzz/corpus/<target>/) and the
// inputs that once broke something (tests/fuzz/regressions/<target>/). A
// broken invariant aborts the program, which fails the test.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_targets.h"

namespace {

namespace fs = std::filesystem;

struct Target {
    const char* name;
    int (*entry)(const std::uint8_t*, std::size_t);
};

const Target kTargets[] = {
    {"load_and_name", fuzz::loadAndNameOne},
    {"template", fuzz::templateOne},
    {"profile", fuzz::profileOne},
};

std::vector<fs::path> savedInputs(const fs::path& folder)
{
    std::vector<fs::path> inputs;
    if (fs::is_directory(folder))
        for (const fs::directory_entry& entry : fs::directory_iterator(folder))
            if (entry.is_regular_file())
                inputs.push_back(entry.path());
    return inputs;
}

std::string readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class SavedFuzzInputs : public ::testing::TestWithParam<const char*> {};

TEST_P(SavedFuzzInputs, ReplayWithoutBreakingAnInvariant)
{
    for (const Target& target : kTargets) {
        const std::vector<fs::path> inputs = savedInputs(fs::path(DSP_FUZZ_INPUTS) / GetParam() / target.name);
        if (std::string(GetParam()) == "corpus") {
            EXPECT_FALSE(inputs.empty()) << "seed corpus of " << target.name;
        }
        for (const fs::path& input : inputs) {
            SCOPED_TRACE(input.string());
            const std::string bytes = readAll(input);
            EXPECT_EQ(target.entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 0)
                << target.name << ": " << input;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Fuzz, SavedFuzzInputs, ::testing::Values("corpus", "regressions"));

} // namespace
