// IDicomElement: one top-level attribute of a loaded file, handed out by
// IDicomFileObject::FindElement. It shares the loaded data with the file
// object, so it stays valid after the file object loads another file or is
// released. Read-only; thread-safe.
#ifndef DICOMKIT_ELEMENT_H
#define DICOMKIT_ELEMENT_H

#include "com_object.h"
#include "loaded_file.h"
#include "toolkit/interfaces.h"

#include <memory>

namespace dicomkit {

class Element final : public ComObject<toolkit::IDicomElement, toolkit::IID_IDicomElement> {
public:
    Element(std::shared_ptr<const LoadedFile> file, const ElementRecord& record);

    DICOMKIT_NOT_IMPLEMENTED(07)
    DICOMKIT_NOT_IMPLEMENTED(08)
    DICOMKIT_NOT_IMPLEMENTED(09)
    DICOMKIT_NOT_IMPLEMENTED(10)
    // The stored value length (for undefined lengths: the bytes up to the
    // sequence delimiter), also for values that were not read.
    HRESULT STDMETHODCALLTYPE GetValueLength(ULONG* length) override;
    DICOMKIT_NOT_IMPLEMENTED(12)
    // The value as value_conversion.h describes.
    HRESULT STDMETHODCALLTYPE GetValue(VARIANT* value) override;

private:
    std::shared_ptr<const LoadedFile> file_;
    const ElementRecord& record_;
};

} // namespace dicomkit

#endif // DICOMKIT_ELEMENT_H
