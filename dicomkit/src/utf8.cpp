// UTF-8 conversions; see utf8.h.
#include "utf8.h"

#include <cstdint>

namespace dicomkit {

std::wstring widen(std::string_view utf8)
{
    std::wstring out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<uint8_t>(utf8[i]);
        const int extra = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : -1;
        uint32_t code = extra <= 0 ? lead : lead & (0x3F >> extra);
        bool valid = extra >= 0 && i + static_cast<size_t>(extra) < utf8.size();
        for (int k = 1; valid && k <= extra; ++k) {
            const auto next = static_cast<uint8_t>(utf8[i + static_cast<size_t>(k)]);
            valid = (next & 0xC0) == 0x80;
            code = code << 6 | (next & 0x3F);
        }
        if (!valid) {
            out.push_back(static_cast<wchar_t>(lead));
            ++i;
            continue;
        }
        out.push_back(static_cast<wchar_t>(code));
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

std::string narrow(std::wstring_view wide)
{
    std::string out;
    out.reserve(wide.size());
    for (wchar_t c : wide) {
        const auto code = static_cast<uint32_t>(c);
        if (code < 0x80) {
            out.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | code >> 6));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | code >> 12));
            out.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (code >> 18 & 0x07)));
            out.push_back(static_cast<char>(0x80 | (code >> 12 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return out;
}

} // namespace dicomkit
