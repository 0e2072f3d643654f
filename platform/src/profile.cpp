// Profile files (".ini"): GetPrivateProfileStringA and GetPrivateProfileIntA.
// The file is read afresh at every call, so an edit shows at the next read.
// Parsing follows Windows: names match without regard to ASCII case, blanks
// around names and values are trimmed, one pair of quotes around a value is
// stripped, ';' starts a comment line, the first section of a name and the
// first key of a name within it win. A file with a UTF-16 byte-order mark is
// read as UTF-16 and answered in UTF-8 (the stand-in's ANSI code page); any
// other text is bytes, not converted.
//
// Thread-safety: thread-safe (no shared state).
#include "windows_path.h"

#include <windows.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

// A line without '=' is a key without a value: it lists nowhere, but a read
// of its key that reaches it first answers the default.
struct ProfileEntry {
    std::string key;
    std::optional<std::string> value;
};

struct ProfileSection {
    std::string name;
    std::vector<ProfileEntry> entries;
};

// One section per name: a repeated section header starts nothing new.
typedef std::vector<ProfileSection> Profile;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::string_view unquoted(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

std::optional<std::string> readWholeFile(const std::string& path)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        return std::nullopt;
    }
    std::string text;
    char chunk[16384];
    for (;;) {
        ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            close(fd);
            return std::nullopt;
        }
        if (got == 0)
            break;
        text.append(chunk, static_cast<size_t>(got));
    }
    close(fd);
    return text;
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// UTF-16 text (after its byte-order mark) as UTF-8; an unpaired surrogate
// becomes U+FFFD, an odd last byte is dropped.
std::string utf8FromUtf16(std::string_view bytes, bool bigEndian)
{
    const auto unit = [&](size_t i) -> char32_t {
        const auto first = static_cast<unsigned char>(bytes[2 * i]);
        const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
        return bigEndian ? (first << 8 | second) : (second << 8 | first);
    };
    const size_t units = bytes.size() / 2;
    std::string out;
    for (size_t i = 0; i < units; ++i) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 && unit(i + 1) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        appendUtf8(out, c);
    }
    return out;
}

Profile parseProfile(std::string_view bytes)
{
    std::string decoded;
    std::string_view text = bytes;
    if (text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF") {
        decoded = utf8FromUtf16(text.substr(2), text[0] == '\xFE');
        text = decoded;
    } else if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }

    Profile profile;
    ProfileSection* current = nullptr; // null before the first section and inside a repeated one
    while (!text.empty()) {
        // A line ends at LF, CR or both; its text ends at its first NUL.
        size_t end = text.find_first_of("\r\n");
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        line = trimmed(line.substr(0, line.find('\0')));
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            size_t close = line.rfind(']');
            if (close == std::string_view::npos)
                continue;
            std::string_view name = trimmed(line.substr(1, close - 1));
            current = nullptr;
            bool repeated = false;
            for (const ProfileSection& section : profile)
                repeated = repeated || sameName(section.name, name);
            if (!repeated) {
                profile.push_back(ProfileSection{std::string(name), {}});
                current = &profile.back();
            }
            continue;
        }
        if (!current)
            continue;
        const size_t equals = line.find('=');
        const std::string_view key = trimmed(line.substr(0, equals));
        bool repeated = false;
        for (const ProfileEntry& entry : current->entries)
            repeated = repeated || sameName(entry.key, key);
        if (repeated)
            continue;
        if (equals == std::string_view::npos)
            current->entries.push_back(ProfileEntry{std::string(key), std::nullopt});
        else
            current->entries.push_back(ProfileEntry{std::string(key), std::string(trimmed(line.substr(equals + 1)))});
    }
    return profile;
}

std::optional<Profile> readProfile(LPCSTR fileName)
{
    std::optional<std::string> text = readWholeFile(platform::posixPathFromWindows(fileName));
    if (!text)
        return std::nullopt;
    return parseProfile(*text);
}

const ProfileSection* findSection(const Profile& profile, std::string_view name)
{
    for (const ProfileSection& section : profile)
        if (sameName(section.name, name))
            return &section;
    return nullptr;
}

// The value of the key, quotes stripped, or nothing when the file, the
// section or the key is absent, or the key's first line has no '='.
std::optional<std::string> lookUpValue(const std::optional<Profile>& profile, LPCSTR section, LPCSTR key)
{
    if (!profile)
        return std::nullopt;
    const ProfileSection* found = findSection(*profile, trimmed(section));
    if (!found)
        return std::nullopt;
    for (const ProfileEntry& entry : found->entries)
        if (sameName(entry.key, trimmed(key)))
            return entry.value ? std::optional<std::string>(unquoted(*entry.value)) : std::nullopt;
    return std::nullopt;
}

// Copies text cut to size-1 characters plus a terminator; size > 0.
DWORD copyText(std::string_view text, LPSTR buffer, DWORD size)
{
    DWORD count = static_cast<DWORD>(std::min<size_t>(text.size(), size - 1));
    memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return count;
}

// Copies names, each NUL-terminated, plus a final NUL. When they do not fit,
// Windows keeps size-2 characters followed by two NULs and answers size-2.
DWORD copyNameList(const std::vector<std::string_view>& names, LPSTR buffer, DWORD size)
{
    std::string list;
    for (std::string_view name : names) {
        list.append(name);
        list.push_back('\0');
    }
    if (list.size() + 1 <= size) {
        memcpy(buffer, list.data(), list.size());
        buffer[list.size()] = '\0';
        if (list.empty() && size >= 2)
            buffer[1] = '\0';
        return static_cast<DWORD>(list.size());
    }
    if (size < 2) {
        buffer[0] = '\0';
        return 0;
    }
    memcpy(buffer, list.data(), size - 2);
    buffer[size - 2] = '\0';
    buffer[size - 1] = '\0';
    return size - 2;
}

std::string_view withoutTrailingSpaces(const char* text)
{
    std::string_view view = text ? text : "";
    while (!view.empty() && view.back() == ' ')
        view.remove_suffix(1);
    return view;
}

} // namespace

PLATFORM_API DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                                   LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName)
{
    if (!lpReturnedString || nSize == 0)
        return 0;
    // Windows drops trailing blanks of the default.
    std::string_view fallback = withoutTrailingSpaces(lpDefault);
    if (!lpFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return copyText(fallback, lpReturnedString, nSize);
    }
    std::optional<Profile> profile = readProfile(lpFileName);
    if (!lpAppName || !lpKeyName) {
        std::vector<std::string_view> names;
        const ProfileSection* section = nullptr;
        if (profile && !lpAppName) {
            for (const ProfileSection& each : *profile)
                names.push_back(each.name);
        } else if (profile && (section = findSection(*profile, trimmed(lpAppName)))) {
            for (const ProfileEntry& entry : section->entries)
                if (entry.value)
                    names.push_back(entry.key);
        }
        if (!profile || (lpAppName && !section))
            SetLastError(ERROR_FILE_NOT_FOUND);
        return copyNameList(names, lpReturnedString, nSize);
    }
    std::optional<std::string> value = lookUpValue(profile, lpAppName, lpKeyName);
    if (!value) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return copyText(fallback, lpReturnedString, nSize);
    }
    return copyText(*value, lpReturnedString, nSize);
}

PLATFORM_API UINT WINAPI GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault, LPCSTR lpFileName)
{
    if (!lpAppName || !lpKeyName || !lpFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return static_cast<UINT>(nDefault);
    }
    std::optional<std::string> value = lookUpValue(readProfile(lpFileName), lpAppName, lpKeyName);
    if (!value) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return static_cast<UINT>(nDefault);
    }
    std::string_view text = *value;
    if (text.empty())
        return static_cast<UINT>(nDefault);

    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // The prefixes 0x (hex), 0o (octal) and 0b (binary), in lower case only:
    // "0X1F" reads as 0.
    unsigned base = 10;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'o' || text[1] == 'b')) {
        base = text[1] == 'x' ? 16 : text[1] == 'o' ? 8 : 2;
        text.remove_prefix(2);
    }
    UINT result = 0; // unsigned arithmetic: overflow wraps to 32 bits, as on Windows
    for (char c : text) {
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            break;
        if (digit >= base)
            break;
        result = result * base + digit;
    }
    return negative ? 0u - result : result;
}
