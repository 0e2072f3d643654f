// The toolkit component's exported entry points (DicomToolkit.so).
//
// A host that loads the component (LoadLibraryA) calls RegisterToolkitClasses
// on a thread in a COM apartment before anything creates TagDictionary or
// DicomFileObject objects; from then on CoCreateInstance in the process
// serves both classes. RevokeToolkitClasses takes them out of the class table
// again. The standard DllGetClassObject / DllCanUnloadNow are exported too.
//
// Registration is process-wide and guarded by a lock: both functions may be
// called from any thread, but a second Register without a Revoke in between
// only answers S_FALSE.
#ifndef DICOMKIT_REGISTRATION_H
#define DICOMKIT_REGISTRATION_H

#include "toolkit/win32.h"

#ifdef DICOMKIT_BUILDING
#define DICOMKIT_API MODULE_EXPORT
#else
#define DICOMKIT_API extern "C"
#endif

// Registers the class objects of CLSID_TagDictionary and CLSID_DicomFileObject
// (CoRegisterClassObject, REGCLS_MULTIPLEUSE). S_OK when registered, S_FALSE
// when they already were; otherwise the failing COM result (for instance
// CO_E_NOTINITIALIZED outside an apartment), with nothing left registered.
DICOMKIT_API HRESULT RegisterToolkitClasses(void);

// Revokes what RegisterToolkitClasses registered. S_OK when revoked, S_FALSE
// when nothing was registered, otherwise the first failing CoRevokeClassObject
// result (the registrations are dropped all the same).
DICOMKIT_API HRESULT RevokeToolkitClasses(void);

// The class object of `rclsid` (either class above) as interface `riid`;
// CLASS_E_CLASSNOTAVAILABLE for any other class.
DICOMKIT_API HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv);

// S_OK when no object of the component is alive and no class object is
// locked, S_FALSE otherwise.
DICOMKIT_API HRESULT DllCanUnloadNow(void);

namespace dicomkit {

#ifdef _WIN32
inline constexpr const char* kToolkitLibraryFileName = "DicomToolkit.dll";
#else
inline constexpr const char* kToolkitLibraryFileName = "DicomToolkit.so";
#endif

// Export names, for hosts that look the entry points up with GetProcAddress.
inline constexpr const char* kRegisterToolkitClassesExport = "RegisterToolkitClasses";
inline constexpr const char* kRevokeToolkitClassesExport = "RevokeToolkitClasses";
inline constexpr const char* kDllGetClassObjectExport = "DllGetClassObject";
inline constexpr const char* kDllCanUnloadNowExport = "DllCanUnloadNow";

typedef HRESULT(STDAPICALLTYPE* RegisterToolkitClassesFn)(void);
typedef HRESULT(STDAPICALLTYPE* RevokeToolkitClassesFn)(void);
typedef HRESULT(STDAPICALLTYPE* DllGetClassObjectFn)(REFCLSID, REFIID, LPVOID*);
typedef HRESULT(STDAPICALLTYPE* DllCanUnloadNowFn)(void);

} // namespace dicomkit

#endif // DICOMKIT_REGISTRATION_H
