// ComError: the failure record of a toolkit call, raised as an exception. It
// carries the call's 32-bit result code and the toolkit's description of the
// failure, when the toolkit gave one (empty otherwise).
#ifndef TOOLKIT_COM_ERROR_H
#define TOOLKIT_COM_ERROR_H

#include <exception>
#include <string>

#include "toolkit/win32.h"

namespace toolkit {

class ComError : public std::exception {
public:
    explicit ComError(HRESULT code, std::wstring description = {});

    HRESULT code() const noexcept { return code_; }
    const std::wstring& description() const noexcept { return description_; }
    const char* what() const noexcept override { return "COM error"; }

private:
    HRESULT code_;
    std::wstring description_;
};

// Raises a ComError for `code`, which a call of `object` through the
// interface `iid` answered. The description comes from the thread's error
// info when the object says, through ISupportErrorInfo, that it reports
// errors for that interface; otherwise there is none.
[[noreturn]] void raiseToolkitFailure(HRESULT code, IUnknown* object, REFIID iid);

// Raises for a failing `code` as raiseToolkitFailure does; does nothing for
// a success code.
inline void checkToolkitCall(HRESULT code, IUnknown* object, REFIID iid)
{
    if (FAILED(code))
        raiseToolkitFailure(code, object, iid);
}

} // namespace toolkit

#endif // TOOLKIT_COM_ERROR_H
