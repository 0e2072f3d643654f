// GetLastError / SetLastError: one value per thread, as on Windows, shared by
// every module of the process because the platform is one shared library.
#include <windows.h>

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;
}

PLATFORM_API DWORD WINAPI GetLastError(void) { return lastError; }

PLATFORM_API void WINAPI SetLastError(DWORD dwErrCode) { lastError = dwErrCode; }
