// Line-oriented diagnostics of dicom-host on standard error.
//
// Every line is written with one call under a process-wide lock, so lines
// from concurrent associations never interleave. A status line (the batch
// filer's progress bar) may stand below the log on a terminal: each log line
// is printed above it and the status line is drawn again. Thread-safe.
#ifndef HOST_HOST_LOG_H
#define HOST_HOST_LOG_H

#include <string>

namespace host {

// Writes "dicom-host: <text>" as one line to standard error.
void logLine(const std::string& text);

// Lines that only -v asks for.
void setVerbose(bool verbose);
bool isVerbose();
void logVerbose(const std::string& text);

// Replaces the status line (drawn without a line end, for a terminal).
// An empty text removes it.
void setStatusLine(const std::string& text);

} // namespace host

#endif // HOST_HOST_LOG_H
