// Windows-form path text and its POSIX counterpart, for the loader, profile
// and file functions of the stand-in. Every '\' in a path argument names a
// '/'; drive letters get no special meaning ("D:\x" is the relative "D:/x").
// Pure functions, thread-safe.
#ifndef PLATFORM_SRC_WINDOWS_PATH_H
#define PLATFORM_SRC_WINDOWS_PATH_H

#include <algorithm>
#include <string>

namespace platform {

inline std::string posixPathFromWindows(const char* windowsPath)
{
    std::string path = windowsPath ? windowsPath : "";
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

inline std::string windowsPathFromPosix(std::string posixPath)
{
    std::replace(posixPath.begin(), posixPath.end(), '/', '\\');
    return posixPath;
}

// The folder that holds `path` (POSIX form): "." for a bare name, "/" for a
// name in the root. Trailing slashes of `path` do not count as a level.
inline std::string parentFolderOf(const std::string& path)
{
    std::string::size_type end = path.find_last_not_of('/');
    if (end == std::string::npos)
        return "/";
    std::string::size_type slash = path.rfind('/', end);
    if (slash == std::string::npos)
        return ".";
    std::string::size_type parentEnd = path.find_last_not_of('/', slash);
    return parentEnd == std::string::npos ? "/" : path.substr(0, parentEnd + 1);
}

} // namespace platform

#endif // PLATFORM_SRC_WINDOWS_PATH_H
