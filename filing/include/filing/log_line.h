// The module's only output: whole lines on standard output.
//
// Each line goes out in one write of the C runtime's stream, which locks the
// stream per call, so lines of threads that log at once never interleave.
#ifndef FILING_LOG_LINE_H
#define FILING_LOG_LINE_H

#include <string_view>

namespace filing {

void writeLogLine(std::string_view line);

} // namespace filing

#endif // FILING_LOG_LINE_H
