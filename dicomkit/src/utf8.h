// Conversions between wide text (BSTR) and UTF-8 (file names on Linux,
// reasons from the C library and DCMTK). Pure functions; thread-safe.
#ifndef DICOMKIT_UTF8_H
#define DICOMKIT_UTF8_H

#include <string>
#include <string_view>

namespace dicomkit {

// Bytes that are not valid UTF-8 come through one character per byte.
std::wstring widen(std::string_view utf8);

std::string narrow(std::wstring_view wide);

} // namespace dicomkit

#endif // DICOMKIT_UTF8_H
