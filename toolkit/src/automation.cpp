#include "toolkit/automation.h"

#include <limits>
#include <vector>

#include "toolkit/com_error.h"

namespace toolkit {

Bstr bstrFromNarrow(const std::string& text)
{
    if (text.size() >= static_cast<size_t>(std::numeric_limits<int>::max()))
        return {};
    // The whole text with its terminator, so the wide text is terminated too.
    const int narrowCount = static_cast<int>(text.size()) + 1;
    const int wideCount = MultiByteToWideChar(CP_THREAD_ACP, 0, text.c_str(), narrowCount, nullptr, 0);
    if (wideCount <= 0)
        return {};
    std::vector<WCHAR> wide(static_cast<size_t>(wideCount));
    if (MultiByteToWideChar(CP_THREAD_ACP, 0, text.c_str(), narrowCount, wide.data(), wideCount) <= 0)
        return {};
    BSTR allocated = SysAllocString(wide.data());
    if (!allocated)
        throw ComError(E_OUTOFMEMORY);
    return Bstr::adopt(allocated);
}

std::string narrowFromWide(const WCHAR* text, size_t count, UINT codePage)
{
    if (!text || count == 0 || count >= static_cast<size_t>(std::numeric_limits<int>::max()))
        return {};
    const int wideCount = static_cast<int>(count);
    const int narrowCount = WideCharToMultiByte(codePage, 0, text, wideCount, nullptr, 0, nullptr, nullptr);
    if (narrowCount <= 0)
        return {};
    std::string narrow(static_cast<size_t>(narrowCount), '\0');
    const int written =
        WideCharToMultiByte(codePage, 0, text, wideCount, narrow.data(), narrowCount, nullptr, nullptr);
    if (written <= 0)
        return {};
    narrow.resize(static_cast<size_t>(written));
    return narrow;
}

} // namespace toolkit
