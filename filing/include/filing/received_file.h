// fileReceivedFile: moves a received file to its built name under the
// storage root.
//
// The full path is the storage root, one backslash and the relative name,
// joined as they are. An empty name answers false and leaves the received
// file where it is; so does an unsafe name (see safe_name.h), after the line
// "Unsafe file name in storeReceivedFile" on standard output. Otherwise the
// target folder's chain is created and the file moved into place in one
// step, replacing a file of that name only once the new one is wholly there
// (so a failed move never costs the file filed before). A failed move deletes
// the received file and answers false; true means the file is at the full
// path.
#ifndef FILING_RECEIVED_FILE_H
#define FILING_RECEIVED_FILE_H

#include <string>

namespace filing {

bool fileReceivedFile(const std::string& storageRoot, const std::string& relativeName,
                      const std::string& receivedPath);

} // namespace filing

#endif // FILING_RECEIVED_FILE_H
