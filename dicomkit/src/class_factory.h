// The class objects (IClassFactory) of TagDictionary and DicomFileObject.
// They live as long as the library; AddRef/Release only count, and the lock
// count feeds DllCanUnloadNow. Thread-safe.
#ifndef DICOMKIT_CLASS_FACTORY_H
#define DICOMKIT_CLASS_FACTORY_H

#include "toolkit/win32.h"

namespace dicomkit {

// The class object of `clsid`, not AddRef'd, or nullptr for another class.
IClassFactory* classObjectFor(REFCLSID clsid);

IClassFactory* tagDictionaryClassObject();
IClassFactory* fileObjectClassObject();

} // namespace dicomkit

#endif // DICOMKIT_CLASS_FACTORY_H
