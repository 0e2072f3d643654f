#include "host_log.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace host {
namespace {

std::mutex logMutex;
std::string statusLine;
std::atomic<bool> verboseOutput{false};

const char kClearLine[] = "\r\033[K";

void write(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

} // namespace

void logLine(const std::string& text)
{
    std::string out;
    std::lock_guard<std::mutex> lock(logMutex);
    if (!statusLine.empty())
        out += kClearLine;
    out += "dicom-host: ";
    out += text;
    out += '\n';
    out += statusLine;
    write(out);
}

void setVerbose(bool verbose) { verboseOutput = verbose; }

bool isVerbose() { return verboseOutput; }

void logVerbose(const std::string& text)
{
    if (verboseOutput)
        logLine(text);
}

void setStatusLine(const std::string& text)
{
    std::lock_guard<std::mutex> lock(logMutex);
    std::string out = kClearLine + text;
    if (text.empty() && statusLine.empty())
        return;
    statusLine = text;
    write(out);
}

} // namespace host
