// Code-page conversions of the platform stand-in: UTF-8 under CP_ACP,
// CP_THREAD_ACP and CP_UTF8, with the Windows conventions for lengths, size
// queries, short buffers, ill-formed input and last-error values.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int kSentinel = -77;

// Runs one conversion into a buffer of `capacity` elements (0: a size query
// with a null buffer) and answers what came back.
struct Outcome {
    int result;
    DWORD error;
    std::wstring wide;
    std::string narrow;
};

Outcome toWide(UINT codePage, DWORD flags, const std::string& input, int inputLength, int capacity)
{
    std::vector<WCHAR> buffer(capacity > 0 ? capacity : 1, L'#');
    SetLastError(kSentinel);
    Outcome out{};
    out.result = MultiByteToWideChar(codePage, flags, input.data(), inputLength, capacity > 0 ? buffer.data() : nullptr,
                                     capacity);
    out.error = GetLastError();
    if (capacity > 0 && out.result > 0)
        out.wide.assign(buffer.data(), out.result);
    return out;
}

Outcome toNarrow(UINT codePage, DWORD flags, const std::wstring& input, int inputLength, int capacity)
{
    std::vector<CHAR> buffer(capacity > 0 ? capacity : 1, '#');
    SetLastError(kSentinel);
    Outcome out{};
    out.result = WideCharToMultiByte(codePage, flags, input.data(), inputLength,
                                     capacity > 0 ? buffer.data() : nullptr, capacity, nullptr, nullptr);
    out.error = GetLastError();
    if (capacity > 0 && out.result > 0)
        out.narrow.assign(buffer.data(), out.result);
    return out;
}

const std::string kTwoByte = "\xC3\xA9";            // U+00E9
const std::string kThreeByte = "\xE2\x82\xAC";      // U+20AC
const std::string kFourByte = "\xF0\x9F\x98\x80";   // U+1F600

TEST(MultiByteToWideChar, Conversions)
{
    struct Row {
        const char* name;
        UINT codePage;
        DWORD flags;
        std::string input;
        int inputLength; // -1: through the terminator; -2: input.size()
        int capacity;
        int result;
        DWORD error; // kSentinel: last error untouched
        std::wstring wide;
    };
    const std::string mixed = "a" + kTwoByte + kThreeByte + kFourByte;
    const Row rows[] = {
        {"ascii", CP_UTF8, 0, "abc", -2, 16, 3, DWORD(kSentinel), L"abc"},
        {"2, 3 and 4 byte characters", CP_UTF8, 0, mixed, -2, 16, 4, DWORD(kSentinel), L"a\u00E9\u20AC\U0001F600"},
        {"CP_ACP is UTF-8", CP_ACP, 0, kTwoByte, -2, 16, 1, DWORD(kSentinel), L"\u00E9"},
        {"CP_THREAD_ACP is UTF-8", CP_THREAD_ACP, 0, kFourByte, -2, 16, 1, DWORD(kSentinel), L"\U0001F600"},
        {"-1 counts the terminator", CP_UTF8, 0, "ab", -1, 16, 3, DWORD(kSentinel), std::wstring(L"ab\0", 3)},
        {"size query", CP_UTF8, 0, mixed, -2, 0, 4, DWORD(kSentinel), L""},
        {"size query with -1", CP_UTF8, 0, mixed, -1, 0, 5, DWORD(kSentinel), L""},
        {"exact fit", CP_UTF8, 0, "abc", -2, 3, 3, DWORD(kSentinel), L"abc"},
        {"too small", CP_UTF8, 0, "abc", -2, 2, 0, ERROR_INSUFFICIENT_BUFFER, L""},
        {"too small for the terminator", CP_UTF8, 0, "abc", -1, 3, 0, ERROR_INSUFFICIENT_BUFFER, L""},
        {"embedded NUL kept with a length", CP_UTF8, 0, std::string("a\0b", 3), -2, 16, 3, DWORD(kSentinel),
         std::wstring(L"a\0b", 3)},
        {"stray continuation byte", CP_UTF8, 0, "a\x80z", -2, 16, 3, DWORD(kSentinel), L"a\uFFFDz"},
        {"truncated 3-byte sequence is one replacement", CP_UTF8, 0, "\xE2\x82z", -2, 16, 2, DWORD(kSentinel),
         L"\uFFFDz"},
        {"truncated at the end", CP_UTF8, 0, "a\xF0\x9F\x98", -2, 16, 2, DWORD(kSentinel), L"a\uFFFD"},
        {"overlong encoding", CP_UTF8, 0, "\xC0\xAF", -2, 16, 2, DWORD(kSentinel), L"\uFFFD\uFFFD"},
        {"encoded surrogate", CP_UTF8, 0, "\xED\xA0\x80", -2, 16, 3, DWORD(kSentinel), L"\uFFFD\uFFFD\uFFFD"},
        {"beyond U+10FFFF", CP_UTF8, 0, "\xF4\x90\x80\x80", -2, 16, 4, DWORD(kSentinel),
         L"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"ill-formed under MB_ERR_INVALID_CHARS", CP_UTF8, MB_ERR_INVALID_CHARS, "a\x80", -2, 16, 0,
         ERROR_NO_UNICODE_TRANSLATION, L""},
        {"ill-formed size query under MB_ERR_INVALID_CHARS", CP_UTF8, MB_ERR_INVALID_CHARS, "\xE2\x82", -2, 0, 0,
         ERROR_NO_UNICODE_TRANSLATION, L""},
        {"well-formed under MB_ERR_INVALID_CHARS", CP_UTF8, MB_ERR_INVALID_CHARS, mixed, -2, 16, 4,
         DWORD(kSentinel), L"a\u00E9\u20AC\U0001F600"},
        {"zero source length", CP_UTF8, 0, "abc", 0, 16, 0, ERROR_INVALID_PARAMETER, L""},
        {"negative source length", CP_UTF8, 0, "abc", -3, 16, 0, ERROR_INVALID_PARAMETER, L""},
        {"other code page", 1252, 0, "abc", -2, 16, 0, ERROR_INVALID_PARAMETER, L""},
        {"unknown flag", CP_UTF8, 0x1, "abc", -2, 16, 0, ERROR_INVALID_FLAGS, L""},
    };
    for (const Row& row : rows) {
        const int length = row.inputLength == -2 ? static_cast<int>(row.input.size()) : row.inputLength;
        const Outcome out = toWide(row.codePage, row.flags, row.input, length, row.capacity);
        EXPECT_EQ(out.result, row.result) << row.name;
        EXPECT_EQ(out.error, row.error) << row.name;
        EXPECT_EQ(out.wide, row.wide) << row.name;
    }
}

TEST(MultiByteToWideChar, NullPointers)
{
    WCHAR buffer[4];
    SetLastError(kSentinel);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, nullptr, 3, buffer, 4), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    SetLastError(kSentinel);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, nullptr, 4), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST(WideCharToMultiByte, Conversions)
{
    struct Row {
        const char* name;
        UINT codePage;
        DWORD flags;
        std::wstring input;
        int inputLength; // -1: through the terminator; -2: input.size()
        int capacity;
        int result;
        DWORD error; // kSentinel: last error untouched
        std::string narrow;
    };
    const std::wstring mixed = L"a\u00E9\u20AC\U0001F600";
    const std::string mixedUtf8 = "a" + kTwoByte + kThreeByte + kFourByte;
    const std::wstring loneSurrogate(1, static_cast<wchar_t>(0xD800));
    const std::wstring beyondUnicode(1, static_cast<wchar_t>(0x110000));
    const Row rows[] = {
        {"ascii", CP_UTF8, 0, L"abc", -2, 16, 3, DWORD(kSentinel), "abc"},
        {"2, 3 and 4 byte characters", CP_UTF8, 0, mixed, -2, 16, 10, DWORD(kSentinel), mixedUtf8},
        {"CP_ACP is UTF-8", CP_ACP, 0, L"\u00E9", -2, 16, 2, DWORD(kSentinel), kTwoByte},
        {"CP_THREAD_ACP is UTF-8", CP_THREAD_ACP, 0, L"\u20AC", -2, 16, 3, DWORD(kSentinel), kThreeByte},
        {"-1 counts the terminator", CP_UTF8, 0, L"ab", -1, 16, 3, DWORD(kSentinel), std::string("ab\0", 3)},
        {"size query", CP_UTF8, 0, mixed, -2, 0, 10, DWORD(kSentinel), ""},
        {"size query with -1", CP_UTF8, 0, mixed, -1, 0, 11, DWORD(kSentinel), ""},
        {"exact fit", CP_UTF8, 0, L"\U0001F600", -2, 4, 4, DWORD(kSentinel), kFourByte},
        {"too small for a whole character", CP_UTF8, 0, L"\U0001F600", -2, 3, 0, ERROR_INSUFFICIENT_BUFFER, ""},
        {"lone surrogate", CP_UTF8, 0, L"a" + loneSurrogate, -2, 16, 4, DWORD(kSentinel), "a\xEF\xBF\xBD"},
        {"beyond U+10FFFF", CP_UTF8, 0, beyondUnicode, -2, 16, 3, DWORD(kSentinel), "\xEF\xBF\xBD"},
        {"surrogate under WC_ERR_INVALID_CHARS", CP_UTF8, WC_ERR_INVALID_CHARS, loneSurrogate, -2, 16, 0,
         ERROR_NO_UNICODE_TRANSLATION, ""},
        {"well-formed under WC_ERR_INVALID_CHARS", CP_UTF8, WC_ERR_INVALID_CHARS, mixed, -2, 16, 10,
         DWORD(kSentinel), mixedUtf8},
        {"zero source length", CP_UTF8, 0, L"abc", 0, 16, 0, ERROR_INVALID_PARAMETER, ""},
        {"other code page", 1252, 0, L"abc", -2, 16, 0, ERROR_INVALID_PARAMETER, ""},
        {"unknown flag", CP_UTF8, 0x400, L"abc", -2, 16, 0, ERROR_INVALID_FLAGS, ""},
    };
    for (const Row& row : rows) {
        const int length = row.inputLength == -2 ? static_cast<int>(row.input.size()) : row.inputLength;
        const Outcome out = toNarrow(row.codePage, row.flags, row.input, length, row.capacity);
        EXPECT_EQ(out.result, row.result) << row.name;
        EXPECT_EQ(out.error, row.error) << row.name;
        EXPECT_EQ(out.narrow, row.narrow) << row.name;
    }
}

TEST(WideCharToMultiByte, DefaultCharacterArgumentsAreRefusedForUtf8)
{
    char buffer[8];
    BOOL usedDefault = FALSE;
    SetLastError(kSentinel);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"a", 1, buffer, 8, "?", nullptr), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    SetLastError(kSentinel);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"a", 1, buffer, 8, nullptr, &usedDefault), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    SetLastError(kSentinel);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, nullptr, 1, buffer, 8, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST(CodePages, RoundTripThroughBothDirections)
{
    const std::string original = "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC 1 \xF0\x9F\x98\x80";
    const int wideCount = MultiByteToWideChar(CP_UTF8, 0, original.c_str(), -1, nullptr, 0);
    ASSERT_GT(wideCount, 0);
    std::vector<WCHAR> wide(wideCount);
    ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, original.c_str(), -1, wide.data(), wideCount), wideCount);
    const int narrowCount = WideCharToMultiByte(CP_UTF8, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
    ASSERT_EQ(narrowCount, static_cast<int>(original.size()) + 1);
    std::vector<CHAR> narrow(narrowCount);
    ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide.data(), -1, narrow.data(), narrowCount, nullptr, nullptr),
              narrowCount);
    EXPECT_EQ(std::string(narrow.data()), original);
}

} // namespace
