// Conversion between the module's Windows-form path text, where '\' names
// the separator, and the host's own POSIX paths.
#ifndef HOST_WINDOWS_PATHS_H
#define HOST_WINDOWS_PATHS_H

#include <algorithm>
#include <string>

namespace host {

inline std::string toWindowsForm(std::string path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

inline std::string fromWindowsForm(std::string path)
{
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

} // namespace host

#endif // HOST_WINDOWS_PATHS_H
