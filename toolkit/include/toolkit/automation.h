// Owners of automation data (BSTR, VARIANT) and the conversions between the
// module's narrow text and the toolkit's wide text.
//
// Narrow text is in the calling thread's ANSI code page (CP_THREAD_ACP); on
// the POSIX stand-in that is UTF-8.
#ifndef TOOLKIT_AUTOMATION_H
#define TOOLKIT_AUTOMATION_H

#include <string>
#include <utility>

#include "toolkit/win32.h"

namespace toolkit {

// Owns one BSTR and frees it exactly once.
class Bstr {
public:
    Bstr() noexcept = default;
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
    Bstr& operator=(Bstr&& other) noexcept
    {
        if (this != &other) {
            reset();
            text_ = std::exchange(other.text_, nullptr);
        }
        return *this;
    }
    ~Bstr() { reset(); }

    static Bstr adopt(BSTR owned) noexcept
    {
        Bstr result;
        result.text_ = owned;
        return result;
    }

    BSTR get() const noexcept { return text_; }
    UINT length() const noexcept { return SysStringLen(text_); }
    void reset() noexcept
    {
        if (BSTR old = std::exchange(text_, nullptr))
            SysFreeString(old);
    }

private:
    BSTR text_ = nullptr;
};

// Owns one VARIANT: initialised on construction, cleared on destruction.
class Variant {
public:
    Variant() noexcept { VariantInit(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&value_); }

    VARIANT* get() noexcept { return &value_; }
    const VARIANT* get() const noexcept { return &value_; }
    VARTYPE type() const noexcept { return value_.vt; }

private:
    VARIANT value_;
};

// `text` as an automation string, converted with the thread's code page.
// A text that does not convert gives a null string; a string that cannot be
// allocated raises ComError(E_OUTOFMEMORY).
Bstr bstrFromNarrow(const std::string& text);

// `count` wide characters at `text` as narrow text in the code page
// `codePage`, given all the room the conversion needs. Text that does not
// convert gives the empty text.
std::string narrowFromWide(const WCHAR* text, size_t count, UINT codePage = CP_THREAD_ACP);

} // namespace toolkit

#endif // TOOLKIT_AUTOMATION_H
