// Fuzz target: arbitrary bytes as a settings file.
//
// The file is read by the module's settings reader, then every section and
// key it lists is read back through GetPrivateProfileStringA at several
// buffer sizes and through GetPrivateProfileIntA. Buffers have exactly the
// size passed, so the address sanitizer sees any write past them.
//
// Invariants: texts of the settings keep at most 259 characters; a read
// answers fewer characters than its buffer holds and terminates them; a
// shorter buffer gets a prefix of what a longer one gets; a list ends in two
// NULs.
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_environment.h"
#include "fuzz_targets.h"
#include "settings/server_settings.h"
#include "toolkit/win32.h"

namespace fuzz {

namespace {

namespace fs = std::filesystem;

constexpr DWORD kSizes[] = {1, 2, 7, MAX_PATH, 70000};
// Reads per input at most this many keys, so one input stays quick.
constexpr size_t kMaxKeysRead = 16;

// GetPrivateProfileStringA into a buffer of exactly `size` bytes; the text
// it answers, checked.
std::string readText(const char* section, const char* key, DWORD size, const std::string& file)
{
    std::vector<char> buffer(size, '\x7F');
    const DWORD count = GetPrivateProfileStringA(section, key, "default", buffer.data(), size, file.c_str());
    check(count < size, "a read answers fewer characters than its buffer holds");
    check(buffer[count] == '\0', "a read terminates its text");
    // A list: names, each terminated, then one more NUL; one cut short ends
    // in two NULs all the same.
    if ((!section || !key) && size >= 2)
        check((count > 0 && buffer[count - 1] == '\0') || (count + 1 < size && buffer[count + 1] == '\0'),
              "a list ends in two NULs");
    return std::string(buffer.data(), count);
}

std::vector<std::string> names(const std::string& list)
{
    std::vector<std::string> cut;
    size_t start = 0;
    while (start < list.size()) {
        const size_t end = list.find('\0', start);
        cut.push_back(list.substr(start, end - start));
        start = end == std::string::npos ? list.size() : end + 1;
    }
    return cut;
}

void readEverySize(const char* section, const char* key, const std::string& file)
{
    const std::string longest = readText(section, key, kSizes[std::size(kSizes) - 1], file);
    for (DWORD size : kSizes) {
        const std::string text = readText(section, key, size, file);
        if (section && key)
            check(longest.compare(0, text.size(), text) == 0, "a shorter buffer gets a prefix of the text");
    }
}

} // namespace

int profileOne(const std::uint8_t* data, std::size_t size)
{
    static const fs::path folder = Environment::get().scratch() / "profile";
    static const bool made = fs::create_directories(folder);
    (void)made;
    const fs::path path = folder / "DicomServer.ini";
    writeBytes(path, std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string file = windowsPath(path);

    const settings::ServerSettings read = settings::readServerSettings(file);
    for (const std::string* text : {&read.aeTitle, &read.storageRoot, &read.filenameTemplate, &read.certSubjectName})
        check(text->size() < MAX_PATH, "a setting's text keeps at most 259 characters");

    readEverySize(nullptr, "ignored", file);
    size_t keysRead = 0;
    for (const std::string& section : names(readText(nullptr, nullptr, 70000, file))) {
        readEverySize(section.c_str(), nullptr, file);
        for (const std::string& key : names(readText(section.c_str(), nullptr, 70000, file))) {
            if (++keysRead > kMaxKeysRead)
                return 0;
            readEverySize(section.c_str(), key.c_str(), file);
            GetPrivateProfileIntA(section.c_str(), key.c_str(), -7, file.c_str());
        }
    }
    return 0;
}

} // namespace fuzz
