// Element values as VARIANTs; see value_conversion.h.
#include "value_conversion.h"

#include "character_set.h"
#include "dictionary.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace dicomkit {

namespace {

template <class T>
T readNumber(const char* bytes, bool bigEndian)
{
    unsigned char raw[sizeof(T)];
    std::memcpy(raw, bytes, sizeof(T));
    if (bigEndian) {
        for (size_t i = 0; i < sizeof(T) / 2; ++i)
            std::swap(raw[i], raw[sizeof(T) - 1 - i]);
    }
    T value;
    std::memcpy(&value, raw, sizeof(T));
    return value;
}

HRESULT setBstr(VARIANT* value, const std::wstring& text)
{
    BSTR bstr = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!bstr)
        return E_OUTOFMEMORY;
    value->vt = VT_BSTR;
    value->bstrVal = bstr;
    return S_OK;
}

bool isPadding(wchar_t c) { return c == L' ' || c == L'\0'; }

// Removes the padding of one value in place: trailing spaces and NULs, and
// leading spaces where they are insignificant.
void trimValue(std::wstring_view& text, bool leading)
{
    while (!text.empty() && isPadding(text.back()))
        text.remove_suffix(1);
    if (leading) {
        while (!text.empty() && text.front() == L' ')
            text.remove_prefix(1);
    }
}

std::wstring withoutPadding(const std::wstring& decoded, Vr vr)
{
    const bool leading = hasInsignificantLeadingSpaces(vr);
    if (!isMultiValuedText(vr)) {
        std::wstring_view text = decoded;
        trimValue(text, leading);
        return std::wstring(text);
    }
    std::wstring result;
    result.reserve(decoded.size());
    const std::wstring_view all = decoded;
    for (size_t start = 0;;) {
        const size_t end = all.find(L'\\', start);
        std::wstring_view part = all.substr(start, end == std::wstring_view::npos ? end : end - start);
        trimValue(part, leading);
        result.append(part);
        if (end == std::wstring_view::npos)
            break;
        result.push_back(L'\\');
        start = end + 1;
    }
    return result;
}

HRESULT textValue(const LoadedFile& file, std::string_view bytes, Vr vr, VARIANT* value, std::string& error)
{
    std::wstring decoded;
    if (usesSpecificCharacterSet(vr)) {
        std::string_view characterSet;
        if (const ElementRecord* record = file.find(kTagSpecificCharacterSet))
            characterSet = file.valueOf(*record);
        const TextDelimiters delimiters = vr == makeVr('P', 'N') ? TextDelimiters::PersonName
                                          : isMultiValuedText(vr) ? TextDelimiters::Values
                                                                  : TextDelimiters::None;
        if (!decodeText(bytes, characterSet, delimiters, decoded, error))
            return E_FAIL;
    } else {
        decodeDefaultRepertoire(bytes, decoded);
    }
    return setBstr(value, withoutPadding(decoded, vr));
}

void appendDecimal(std::wstring& text, const char* begin, const char* end)
{
    for (const char* c = begin; c != end; ++c)
        text.push_back(static_cast<wchar_t>(*c));
}

template <class T>
void appendNumber(std::wstring& text, T number)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    appendDecimal(text, buffer, result.ptr);
}

// A float as the double nearest its shortest decimal form, so that 0.1f
// shows as 0.1 rather than 0.100000001490116.
double widenFloat(float number)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer - 1, number);
    *result.ptr = '\0';
    return std::strtod(buffer, nullptr);
}

template <class T>
std::wstring joinedNumbers(std::string_view bytes, bool bigEndian)
{
    std::wstring text;
    const size_t count = bytes.size() / sizeof(T);
    for (size_t i = 0; i < count; ++i) {
        if (i > 0)
            text.push_back(L'\\');
        appendNumber(text, readNumber<T>(bytes.data() + i * sizeof(T), bigEndian));
    }
    return text;
}

std::wstring joinedTags(std::string_view bytes, bool bigEndian)
{
    std::wstring text;
    const size_t count = bytes.size() / 4;
    for (size_t i = 0; i < count; ++i) {
        if (i > 0)
            text.push_back(L'\\');
        const uint32_t tag = uint32_t(readNumber<uint16_t>(bytes.data() + i * 4, bigEndian)) << 16 |
                             readNumber<uint16_t>(bytes.data() + i * 4 + 2, bigEndian);
        appendNumber(text, tag);
    }
    return text;
}

HRESULT numberValue(std::string_view bytes, Vr vr, bool bigEndian, VARIANT* value)
{
    switch (vr) {
    case kVrUS:
        if (bytes.size() / 2 == 1) {
            value->vt = VT_I4;
            value->lVal = readNumber<uint16_t>(bytes.data(), bigEndian);
            return S_OK;
        }
        return setBstr(value, joinedNumbers<uint16_t>(bytes, bigEndian));
    case kVrSS:
        if (bytes.size() / 2 == 1) {
            value->vt = VT_I4;
            value->lVal = readNumber<int16_t>(bytes.data(), bigEndian);
            return S_OK;
        }
        return setBstr(value, joinedNumbers<int16_t>(bytes, bigEndian));
    case kVrSL:
        if (bytes.size() / 4 == 1) {
            value->vt = VT_I4;
            value->lVal = readNumber<int32_t>(bytes.data(), bigEndian);
            return S_OK;
        }
        return setBstr(value, joinedNumbers<int32_t>(bytes, bigEndian));
    case kVrUL:
        if (bytes.size() / 4 == 1) {
            value->vt = VT_UI4;
            value->ulVal = readNumber<uint32_t>(bytes.data(), bigEndian);
            return S_OK;
        }
        return setBstr(value, joinedNumbers<uint32_t>(bytes, bigEndian));
    case kVrFL:
        if (bytes.size() / 4 == 1) {
            value->vt = VT_R8;
            value->dblVal = widenFloat(readNumber<float>(bytes.data(), bigEndian));
            return S_OK;
        }
        return setBstr(value, joinedNumbers<float>(bytes, bigEndian));
    case kVrFD:
        if (bytes.size() / 8 == 1) {
            value->vt = VT_R8;
            value->dblVal = readNumber<double>(bytes.data(), bigEndian);
            return S_OK;
        }
        return setBstr(value, joinedNumbers<double>(bytes, bigEndian));
    case kVrAT:
        if (bytes.size() / 4 == 1) {
            value->vt = VT_UI4;
            value->ulVal = uint32_t(readNumber<uint16_t>(bytes.data(), bigEndian)) << 16 |
                           readNumber<uint16_t>(bytes.data() + 2, bigEndian);
            return S_OK;
        }
        return setBstr(value, joinedTags(bytes, bigEndian));
    case kVrSV:
        return setBstr(value, joinedNumbers<int64_t>(bytes, bigEndian));
    case kVrUV:
        return setBstr(value, joinedNumbers<uint64_t>(bytes, bigEndian));
    default:
        value->vt = VT_NULL;
        return S_OK;
    }
}

} // namespace

Vr effectiveVr(const LoadedFile& file, const ElementRecord& element)
{
    Vr vr = element.vr == kVrImplicit ? dictionaryVr(element.tag) : element.vr;
    if (vr == makeVr('u', 'p'))
        return kVrUL;
    if (vr == makeVr('x', 's')) {
        const ElementRecord* representation = file.find(kTagPixelRepresentation);
        if (representation && representation->valueKept && representation->length >= 2 &&
            readNumber<uint16_t>(file.valueOf(*representation).data(), representation->bigEndian) == 1)
            return kVrSS;
        return kVrUS;
    }
    return vr;
}

HRESULT elementValue(const LoadedFile& file, const ElementRecord& element, VARIANT* value, std::string& error)
{
    VariantInit(value);
    const Vr vr = effectiveVr(file, element);
    const VrKind kind = kindOf(vr);
    if (kind == VrKind::Sequence || kind == VrKind::Bulk || !element.valueKept ||
        element.tag == kTagPixelData) {
        value->vt = VT_NULL;
        return S_OK;
    }
    const std::string_view bytes = file.valueOf(element);
    if (kind == VrKind::Text)
        return textValue(file, bytes, vr, value, error);
    if (bytes.empty())
        return setBstr(value, std::wstring());
    return numberValue(bytes, vr, element.bigEndian, value);
}

} // namespace dicomkit
