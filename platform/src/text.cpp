// kernel32 code-page conversions of the stand-in. CP_ACP, CP_THREAD_ACP and
// CP_UTF8 all mean UTF-8 (a system whose ANSI code page is UTF-8); wide text
// is wchar_t holding one code point per element. Argument checks, counts,
// size queries and last-error values follow Windows.
//
// Thread-safety: stateless; safe from any thread.
#include <windows.h>

#include <climits>
#include <cstring>
#include <cwchar>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isUtf8CodePage(UINT codePage)
{
    return codePage == CP_ACP || codePage == CP_THREAD_ACP || codePage == CP_UTF8;
}

int fail(DWORD error)
{
    SetLastError(error);
    return 0;
}

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Decodes one character of `text[0, length)`, advancing `used` past it.
// Answers false for an ill-formed sequence, consuming its maximal
// well-formed prefix (at least one byte), which stands for one U+FFFD.
bool decodeUtf8(const unsigned char* text, size_t length, size_t& used, char32_t& codePoint)
{
    const unsigned char lead = text[0];
    used = 1;
    if (lead < 0x80) {
        codePoint = lead;
        return true;
    }
    size_t trailing;
    unsigned char secondLow = 0x80;
    unsigned char secondHigh = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trailing = 1;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trailing = 2;
        codePoint = lead & 0x0F;
        if (lead == 0xE0)
            secondLow = 0xA0;
        else if (lead == 0xED)
            secondHigh = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trailing = 3;
        codePoint = lead & 0x07;
        if (lead == 0xF0)
            secondLow = 0x90;
        else if (lead == 0xF4)
            secondHigh = 0x8F;
    } else {
        return false;
    }
    for (size_t i = 1; i <= trailing; ++i) {
        if (i >= length)
            return false;
        const unsigned char byte = text[i];
        const bool inRange = i == 1 ? byte >= secondLow && byte <= secondHigh : isContinuation(byte);
        if (!inRange)
            return false;
        codePoint = (codePoint << 6) | (byte & 0x3F);
        used = i + 1;
    }
    return true;
}

size_t utf8Length(char32_t codePoint)
{
    return codePoint < 0x80 ? 1 : codePoint < 0x800 ? 2 : codePoint < 0x10000 ? 3 : 4;
}

void encodeUtf8(char32_t codePoint, char* out)
{
    switch (utf8Length(codePoint)) {
    case 1: out[0] = static_cast<char>(codePoint); break;
    case 2:
        out[0] = static_cast<char>(0xC0 | (codePoint >> 6));
        out[1] = static_cast<char>(0x80 | (codePoint & 0x3F));
        break;
    case 3:
        out[0] = static_cast<char>(0xE0 | (codePoint >> 12));
        out[1] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (codePoint & 0x3F));
        break;
    default:
        out[0] = static_cast<char>(0xF0 | (codePoint >> 18));
        out[1] = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out[2] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out[3] = static_cast<char>(0x80 | (codePoint & 0x3F));
        break;
    }
}

bool isScalarValue(char32_t codePoint)
{
    return codePoint <= 0x10FFFF && (codePoint < 0xD800 || codePoint > 0xDFFF);
}

} // namespace

PLATFORM_API int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                                            LPWSTR lpWideCharStr, int cchWideChar)
{
    if (!lpMultiByteStr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
        (cchWideChar > 0 && !lpWideCharStr) ||
        (cchWideChar > 0 && static_cast<const void*>(lpMultiByteStr) == static_cast<const void*>(lpWideCharStr)))
        return fail(ERROR_INVALID_PARAMETER);
    if (!isUtf8CodePage(CodePage))
        return fail(ERROR_INVALID_PARAMETER);
    if (dwFlags & ~static_cast<DWORD>(MB_ERR_INVALID_CHARS))
        return fail(ERROR_INVALID_FLAGS);
    const bool strict = dwFlags & MB_ERR_INVALID_CHARS;

    const auto* source = reinterpret_cast<const unsigned char*>(lpMultiByteStr);
    const size_t length = cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);

    size_t needed = 0;
    for (size_t i = 0; i < length;) {
        size_t used = 0;
        char32_t codePoint = 0;
        if (!decodeUtf8(source + i, length - i, used, codePoint) && strict)
            return fail(ERROR_NO_UNICODE_TRANSLATION);
        i += used;
        ++needed;
    }
    if (cchWideChar == 0)
        return static_cast<int>(needed);
    if (needed > static_cast<size_t>(cchWideChar))
        return fail(ERROR_INSUFFICIENT_BUFFER);

    size_t written = 0;
    for (size_t i = 0; i < length;) {
        size_t used = 0;
        char32_t codePoint = 0;
        const bool valid = decodeUtf8(source + i, length - i, used, codePoint);
        lpWideCharStr[written++] = static_cast<WCHAR>(valid ? codePoint : kReplacement);
        i += used;
    }
    return static_cast<int>(written);
}

PLATFORM_API int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                                            LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                                            LPBOOL lpUsedDefaultChar)
{
    if (!lpWideCharStr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
        (cbMultiByte > 0 && !lpMultiByteStr) ||
        (cbMultiByte > 0 && static_cast<const void*>(lpMultiByteStr) == static_cast<const void*>(lpWideCharStr)))
        return fail(ERROR_INVALID_PARAMETER);
    if (!isUtf8CodePage(CodePage) || lpDefaultChar || lpUsedDefaultChar)
        return fail(ERROR_INVALID_PARAMETER);
    if (dwFlags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS))
        return fail(ERROR_INVALID_FLAGS);
    const bool strict = dwFlags & WC_ERR_INVALID_CHARS;

    const size_t length = cchWideChar == -1 ? std::wcslen(lpWideCharStr) + 1 : static_cast<size_t>(cchWideChar);

    size_t needed = 0;
    for (size_t i = 0; i < length; ++i) {
        const auto codePoint = static_cast<char32_t>(lpWideCharStr[i]);
        if (isScalarValue(codePoint))
            needed += utf8Length(codePoint);
        else if (strict)
            return fail(ERROR_NO_UNICODE_TRANSLATION);
        else
            needed += utf8Length(kReplacement);
    }
    if (needed > static_cast<size_t>(INT_MAX))
        return fail(ERROR_INSUFFICIENT_BUFFER);
    if (cbMultiByte == 0)
        return static_cast<int>(needed);
    if (needed > static_cast<size_t>(cbMultiByte))
        return fail(ERROR_INSUFFICIENT_BUFFER);

    size_t written = 0;
    for (size_t i = 0; i < length; ++i) {
        auto codePoint = static_cast<char32_t>(lpWideCharStr[i]);
        if (!isScalarValue(codePoint))
            codePoint = kReplacement;
        encodeUtf8(codePoint, lpMultiByteStr + written);
        written += utf8Length(codePoint);
    }
    return static_cast<int>(written);
}
