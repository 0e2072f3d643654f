#include "temp_dir.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

TempDir::TempDir(const fs::path& base)
{
    std::random_device seed;
    std::mt19937_64 random(seed());
    constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = "dsp-test-";
        for (int i = 0; i < 8; ++i)
            name += kLetters[random() % (sizeof kLetters - 1)];
        std::error_code error;
        if (fs::create_directory(base / name, error)) {
            path_ = base / name;
            return;
        }
        if (error)
            throw std::runtime_error("cannot create a folder under " + base.string() + ": " + error.message());
    }
    throw std::runtime_error("no free folder name under " + base.string());
}

TempDir::~TempDir()
{
    std::error_code ignored;
    // Read-only files and folders made by tests must not stop the clean-up.
    for (auto it = fs::recursive_directory_iterator(path_, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

std::string TempDir::windowsPath(const std::string& relative) const
{
    return toWindowsPath(relative.empty() ? path_.string() : (path_ / relative).string());
}

std::string toWindowsPath(const std::string& path)
{
    std::string result = path;
    for (char& c : result)
        if (c == '/')
            c = '\\';
    return result;
}

void writeTextFile(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::string readTextFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
