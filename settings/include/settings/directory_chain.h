// createDirectoryChain: makes a backslash-separated path of folders exist.
//
// Asks CreateDirectoryA for every ancestor, outermost first (the path up to
// and including each backslash, one attempt per backslash, also for doubled,
// leading and trailing ones), ignoring their outcomes, then for the path
// itself. Answers true when that last creation succeeded or found the name
// existing (ERROR_ALREADY_EXISTS), false otherwise. Forward slashes mark no
// ancestor. Keeps no state; safe to call from several threads at once.
#ifndef SETTINGS_DIRECTORY_CHAIN_H
#define SETTINGS_DIRECTORY_CHAIN_H

#include <string>

namespace settings {

bool createDirectoryChain(const std::string& path);

} // namespace settings

#endif // SETTINGS_DIRECTORY_CHAIN_H
