// The component's side of COM error info: every failing operation leaves a
// description (and the source "DicomToolkit") in the thread's error info
// slot, every succeeding one empties the slot. Per thread; thread-safe.
#ifndef DICOMKIT_ERROR_INFO_H
#define DICOMKIT_ERROR_INFO_H

#include "toolkit/win32.h"

#include <string>
#include <string_view>

namespace dicomkit {

// Sets the thread's error info for a failure of interface `iid` and answers
// `hr`, so that a failing operation can `return fail(...)`.
HRESULT fail(HRESULT hr, REFIID iid, std::wstring_view description);

// Empties the thread's error info slot and answers S_OK.
HRESULT succeed();

} // namespace dicomkit

#endif // DICOMKIT_ERROR_INFO_H
