// `dicom-host file`: hands existing files to the module as if received.
//
// Every operand is a file or a folder (every regular file under it, in name
// order). Without --copy each file itself is handed over (the module moves it
// into the store); with --copy a copy under a fresh name in the incoming
// folder is handed over and the original stays. A progress bar is drawn when
// standard error is a terminal; a summary line ends the run.
#ifndef HOST_BATCH_FILER_H
#define HOST_BATCH_FILER_H

#include "host/server_configuration.h"
#include "incoming_folder.h"

#include <filesystem>
#include <string>
#include <vector>

namespace host {

struct BatchOptions {
    std::vector<std::filesystem::path> paths;
    std::string callingAeTitle;
    std::string calledAeTitle;
    IncomingFolder* copyInto = nullptr; // set for --copy
};

// Answers the process exit status: 0 when every file was filed, else 1.
int runBatchFiling(IDicomServerConfiguration& configuration, const BatchOptions& options);

} // namespace host

#endif // HOST_BATCH_FILER_H
