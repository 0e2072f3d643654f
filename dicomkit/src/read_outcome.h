// How reading a file ended, shared by the component's two readers.
#ifndef DICOMKIT_READ_OUTCOME_H
#define DICOMKIT_READ_OUTCOME_H

#include <string>

namespace dicomkit {

enum class ReadStatus {
    Loaded,
    NotDicom,     // neither a Part 10 file nor something that starts like a data set
    Truncated,    // the file ends inside an element
    Malformed,    // the structure breaks the encoding rules; `reason` says how
    NeedsDcmtk,   // valid, but an encoding the lean reader leaves to DCMTK
    IoError,      // the system failed a read; `reason` says why
};

struct ReadOutcome {
    ReadStatus status = ReadStatus::Loaded;
    std::string reason;
};

} // namespace dicomkit

#endif // DICOMKIT_READ_OUTCOME_H
