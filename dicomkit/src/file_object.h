// CLSID_DicomFileObject: IDicomFileObject, one DICOM file loaded by LoadFile
// and searched by FindElement.
//
// LoadFile reads everything FindElement and the elements need into memory
// and closes the file before it returns; loading again replaces the data
// (elements handed out before keep the data they came from). A failed load
// leaves no file loaded.
//
// Thread-safety: one object serves one thread at a time (as the module uses
// it); separate objects may be used concurrently.
#ifndef DICOMKIT_FILE_OBJECT_H
#define DICOMKIT_FILE_OBJECT_H

#include "com_object.h"
#include "lean_reader.h"
#include "loaded_file.h"
#include "toolkit/interfaces.h"

#include <memory>

namespace dicomkit {

class FileObject final : public ComObject<toolkit::IDicomFileObject, toolkit::IID_IDicomFileObject> {
public:
    DICOMKIT_NOT_IMPLEMENTED(07)
    DICOMKIT_NOT_IMPLEMENTED(08)
    DICOMKIT_NOT_IMPLEMENTED(09)
    DICOMKIT_NOT_IMPLEMENTED(10)
    DICOMKIT_NOT_IMPLEMENTED(11)
    // `path` may use '\' as the folder separator; see file_loader.h for the
    // failures and their descriptions.
    HRESULT STDMETHODCALLTYPE LoadFile(BSTR path) override;
    DICOMKIT_NOT_IMPLEMENTED(13)
    DICOMKIT_NOT_IMPLEMENTED(14)
    DICOMKIT_NOT_IMPLEMENTED(15)
    DICOMKIT_NOT_IMPLEMENTED(16)
    DICOMKIT_NOT_IMPLEMENTED(17)
    DICOMKIT_NOT_IMPLEMENTED(18)
    DICOMKIT_NOT_IMPLEMENTED(19)
    DICOMKIT_NOT_IMPLEMENTED(20)
    DICOMKIT_NOT_IMPLEMENTED(21)
    DICOMKIT_NOT_IMPLEMENTED(22)
    DICOMKIT_NOT_IMPLEMENTED(23)
    DICOMKIT_NOT_IMPLEMENTED(24)
    DICOMKIT_NOT_IMPLEMENTED(25)
    DICOMKIT_NOT_IMPLEMENTED(26)
    DICOMKIT_NOT_IMPLEMENTED(27)
    DICOMKIT_NOT_IMPLEMENTED(28)
    DICOMKIT_NOT_IMPLEMENTED(29)
    DICOMKIT_NOT_IMPLEMENTED(30)
    DICOMKIT_NOT_IMPLEMENTED(31)
    DICOMKIT_NOT_IMPLEMENTED(32)
    DICOMKIT_NOT_IMPLEMENTED(33)
    DICOMKIT_NOT_IMPLEMENTED(34)
    DICOMKIT_NOT_IMPLEMENTED(35)
    DICOMKIT_NOT_IMPLEMENTED(36)
    DICOMKIT_NOT_IMPLEMENTED(37)
    DICOMKIT_NOT_IMPLEMENTED(38)
    DICOMKIT_NOT_IMPLEMENTED(39)
    DICOMKIT_NOT_IMPLEMENTED(40)
    // Top-level attributes of the data set, and of the file meta information
    // for group 0002; S_OK and null when absent; fails before any LoadFile.
    HRESULT STDMETHODCALLTYPE FindElement(LONG tag, toolkit::IDicomElement** element) override;

private:
    std::shared_ptr<LoadedFile> file_;  // null: no file loaded
    ReadScratch scratch_;
};

} // namespace dicomkit

#endif // DICOMKIT_FILE_OBJECT_H
