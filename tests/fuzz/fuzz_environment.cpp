#include "fuzz_environment.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "dicomkit/registration.h"
#include "platform/testing.h"
#include "toolkit/win32.h"

namespace fuzz {

namespace fs = std::filesystem;

Environment& Environment::get()
{
    static Environment environment;
    return environment;
}

Environment::Environment()
{
    std::string pattern = (fs::temp_directory_path() / "dsp-fuzz-XXXXXX").string();
    check(mkdtemp(pattern.data()) != nullptr, "a scratch folder can be made");
    scratch_ = pattern;
    // The folder goes with the process; an aborting run leaves it for the
    // inspection of the crash.
    static const fs::path removeAtExit = scratch_;
    std::atexit([] {
        std::error_code ignored;
        fs::remove_all(removeAtExit, ignored);
    });
    check(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)), "the thread enters an apartment");
    check(RegisterToolkitClasses() == S_OK, "the toolkit's classes register");
}

std::string windowsPath(const fs::path& path)
{
    std::string text = path.string();
    for (char& c : text)
        if (c == '/')
            c = '\\';
    return text;
}

void writeBytes(const fs::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    check(out.good(), "the input file is written");
}

void emptyFolder(const fs::path& folder)
{
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error))
        fs::remove_all(entry.path(), error);
}

void check(bool holds, std::string_view invariant)
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz invariant broken: %.*s\n", static_cast<int>(invariant.size()), invariant.data());
    std::abort();
}

ResourceCounts resourceCounts() { return {PlatformLiveBstrCount(), PlatformApartmentDepth()}; }

} // namespace fuzz
