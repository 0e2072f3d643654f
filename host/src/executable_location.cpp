#include "executable_location.h"

namespace host {

std::filesystem::path executableDirectory()
{
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return std::filesystem::current_path();
    return self.parent_path();
}

} // namespace host
