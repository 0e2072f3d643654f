#include "temp_dir.h"

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>

#include <cstdlib>

TempDir::TempDir(const std::filesystem::path& base)
{
    std::string pattern = (base / "dsp-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed under " + base.string());
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    // Read-only files and folders made by tests must not stop the clean-up.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
        chmod(it->path().c_str(), 0700);
    std::filesystem::remove_all(path_, ignored);
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
