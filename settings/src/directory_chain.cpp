#include "settings/directory_chain.h"

#include "toolkit/win32.h"

namespace settings {

bool createDirectoryChain(const std::string& path)
{
    for (size_t backslash = path.find('\\'); backslash != std::string::npos;
         backslash = path.find('\\', backslash + 1)) {
        const std::string ancestor = path.substr(0, backslash + 1);
        CreateDirectoryA(ancestor.c_str(), nullptr);
    }
    if (CreateDirectoryA(path.c_str(), nullptr))
        return true;
    return GetLastError() == ERROR_ALREADY_EXISTS;
}

} // namespace settings
