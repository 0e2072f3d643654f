// The fallback reader on DCMTK's DcmFileFormat, for what the lean reader
// leaves to it (implicit VR big endian, Part 10 files whose structure the
// lean reader cannot follow).
//
// Reads with a small maximum read length so that a larger value is not read
// while parsing: DCMTK notes where it is in the file and steps over it, so a
// stored length beyond the file's end is found without allocating it. That
// holds only for a file read as it is stored; in a compressed data set DCMTK
// reads every value into memory and allocates the stored length first. So a
// file whose meta information names a compressed data set (deflated) is
// refused (Malformed) before DCMTK reads its data set.
//
// An exception DCMTK throws while parsing (other than std::bad_alloc, which
// passes) makes the file Malformed.
//
// Copies the top-level elements into a LoadedFile in the lean reader's form
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
