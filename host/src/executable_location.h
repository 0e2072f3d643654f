// The folder holding the running executable, where the host finds its
// module, the toolkit component, the module's settings file and certs/.
#ifndef HOST_EXECUTABLE_LOCATION_H
#define HOST_EXECUTABLE_LOCATION_H

#include <filesystem>

namespace host {

// The folder of /proc/self/exe, with symbolic links resolved.
std::filesystem::path executableDirectory();

} // namespace host

#endif // HOST_EXECUTABLE_LOCATION_H
