// LoadFile's work behind the COM surface: opens a file, reads it with the
// lean reader (DCMTK where that one cannot), closes it, and turns every
// failure into an HRESULT and a description naming the file:
//
//   missing file or folder      HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)  "file not found: <path>"
//   no permission               E_ACCESSDENIED   "cannot read <path>: permission denied"
//   too many open files         HRESULT_FROM_WIN32(ERROR_TOO_MANY_OPEN_FILES)  "cannot read <path>: ..."
//   a folder, a device, a FIFO  E_FAIL           "cannot read <path>: it is a folder" / "not a regular file"
//   not DICOM at all            E_FAIL           "not a DICOM file: <path>"
//   ends inside an element      E_FAIL           "truncated DICOM file: <path>"
//   anything else               E_FAIL           "cannot read <path>: <reason>"
//
// Not thread-safe per scratch buffer.
#ifndef DICOMKIT_FILE_LOADER_H
#define DICOMKIT_FILE_LOADER_H

#include "lean_reader.h"
#include "loaded_file.h"
#include "toolkit/win32.h"

#include <string>
#include <string_view>

namespace dicomkit {

// Loads the file at `path` (file-system form) into `out`; `shownPath` names
// it in descriptions. On failure `out` is left in an unspecified state.
HRESULT loadDicomFile(const std::string& path, std::wstring_view shownPath, LoadedFile& out, ReadScratch& scratch,
                      std::wstring& description);

} // namespace dicomkit

#endif // DICOMKIT_FILE_LOADER_H
