// Creation of the toolkit's objects.
//
// The protocol: CoCreateInstance for IUnknown in any context, OleRun, then
// QueryInterface for the class's interface; the IUnknown reference is
// released in every case. A failure with E_NOINTERFACE gives an empty
// reference and raises nothing (its first use raises E_POINTER); every other
// failure raises ComError with its code and no description.
#ifndef TOOLKIT_CREATION_H
#define TOOLKIT_CREATION_H

#include "toolkit/com_error.h"
#include "toolkit/com_ptr.h"
#include "toolkit/interfaces.h"

namespace toolkit {

// Runs the protocol for class `clsid`, interface `iid`; answers an owned
// reference in `object`, or nothing for E_NOINTERFACE.
void createToolkitObject(REFCLSID clsid, REFIID iid, /*out*/ void** object);

template <typename Interface> ComPtr<Interface> createToolkitObject(REFCLSID clsid, REFIID iid)
{
    ComPtr<Interface> object;
    createToolkitObject(clsid, iid, object.receiveVoid());
    return object;
}

inline ComPtr<ITagDictionary> createTagDictionary()
{
    return createToolkitObject<ITagDictionary>(CLSID_TagDictionary, IID_ITagDictionary);
}

inline ComPtr<IDicomFileObject> createDicomFileObject()
{
    return createToolkitObject<IDicomFileObject>(CLSID_DicomFileObject, IID_IDicomFileObject);
}

// Raises ComError(E_POINTER) when `object` is empty: the first use of a
// reference whose creation answered E_NOINTERFACE.
template <typename Interface> Interface* requireObject(const ComPtr<Interface>& object)
{
    if (!object)
        throw ComError(E_POINTER);
    return object.get();
}

} // namespace toolkit

#endif // TOOLKIT_CREATION_H
