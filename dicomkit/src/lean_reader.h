// The component's own reader for the common encodings: Part 10 files and bare
// data sets in implicit VR little endian, explicit VR little endian (native
// or with encapsulated pixel data) and explicit VR big endian, and Part 10
// files with a deflated data set (inflated as it is read, see
// inflated_window.h).
//
// It walks the top-level elements up to and including the pixel data header,
// keeps the values of text and binary-number elements, and steps over
// sequences and bulk values (by their lengths, or item by item for undefined
// lengths) without reading them. Everything after the pixel data is left
// unread; its stored length is still checked against the file's size (the
// inflated size for a deflated data set). No stored length is acted on
// before it is checked that way.
//
// Implicit VR big endian, and Part 10 files whose structure it cannot follow,
// come back as NeedsDcmtk / Malformed for the DCMTK reader to try. Not
// thread-safe per scratch buffer.
#ifndef DICOMKIT_LEAN_READER_H
#define DICOMKIT_LEAN_READER_H

#include "loaded_file.h"
#include "read_outcome.h"

#include <cstdint>
#include <vector>

namespace dicomkit {

// Reusable buffer for the bytes read from the file.
struct ReadScratch {
    std::vector<uint8_t> window;
};

// Reads the open file `fd` of `fileSize` bytes into `out` (cleared first).
ReadOutcome readLean(int fd, uint64_t fileSize, LoadedFile& out, ReadScratch& scratch);

} // namespace dicomkit

#endif // DICOMKIT_LEAN_READER_H
