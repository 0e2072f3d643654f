// The fallback reader on DCMTK's DcmFileFormat, for what the lean reader
// leaves to it (deflated data sets, implicit VR big endian, Part 10 files
// whose structure the lean reader cannot follow).
//
// Reads with a small maximum read length so that large values stay on disk,
// copies the top-level elements into a LoadedFile in the lean reader's form
// (binary numbers in little endian), and closes the file before returning.
// Thread-safe (DCMTK's reading of separate files is).
#ifndef DICOMKIT_DCMTK_READER_H
#define DICOMKIT_DCMTK_READER_H

#include "loaded_file.h"
#include "read_outcome.h"

#include <string>

namespace dicomkit {

ReadOutcome readWithDcmtk(const std::string& path, LoadedFile& out);

} // namespace dicomkit

#endif // DICOMKIT_DCMTK_READER_H
