#include "filing/log_line.h"

#include <cstdio>

namespace filing {

void writeLogLine(std::string_view line)
{
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

} // namespace filing
