// TempDir: a fresh folder under the system's temporary folder (or a given
// base), removed with everything in it when the object goes.
#ifndef TESTS_SUPPORT_TEMP_DIR_H
#define TESTS_SUPPORT_TEMP_DIR_H

#include <filesystem>
#include <string>

class TempDir {
public:
    explicit TempDir(const std::filesystem::path& base = std::filesystem::temp_directory_path());
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // `relative` under the folder, in Windows form ('/' shown as '\').
    std::string windowsPath(const std::string& relative = "") const;

private:
    std::filesystem::path path_;
};

// `path` with every '/' shown as '\', as the Win32 functions take it.
std::string toWindowsPath(const std::string& path);

void writeTextFile(const std::filesystem::path& path, const std::string& text);
std::string readTextFile(const std::filesystem::path& path);

#endif // TESTS_SUPPORT_TEMP_DIR_H
