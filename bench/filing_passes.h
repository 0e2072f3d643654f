// Timed filing passes over a set of bench objects: through the loaded module
// with the real toolkit component (as dicom-host files a received object),
// and the bare baseline that does only the work no filer can avoid.
//
// Each pass first hard-links the objects into an incoming folder (untimed),
// so the same objects serve every pass; the storage root a pass filed into
// is removed afterwards (untimed). Not thread-safe: one thread drives it.
#ifndef BENCH_FILING_PASSES_H
#define BENCH_FILING_PASSES_H

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench_objects.h"

namespace host {
class IDicomServerConfiguration;
}

namespace bench {

// The toolkit component loaded and registered, then the module loaded for a
// host executable in `hostFolder`, its DicomServer.ini written there first.
class LoadedModule {
public:
    LoadedModule(const std::filesystem::path& hostFolder, const std::filesystem::path& storageRoot,
                 const std::string& filenameTemplate);
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    host::IDicomServerConfiguration& configuration() { return *configuration_; }

private:
    void* module_ = nullptr;
    host::IDicomServerConfiguration* configuration_ = nullptr;
};

struct PassResult {
    double seconds = 0;     // wall clock
    double cpuSeconds = 0;  // the process's processor time, user and system:
                            // what the pass cost, whatever else the machine runs
    int failures = 0;       // objects not filed
};

// Files every object through storeReceivedFile.
PassResult moduleFilingPass(LoadedModule& module, const std::vector<BenchObject>& objects,
                            const std::filesystem::path& incoming, const std::filesystem::path& storageRoot);

// The timed part of a module pass: storeReceivedFile for every path (Windows
// form); answers the number not filed. Kept out of line so that a profiler
// can collect exactly this (callgrind --toggle-collect=bench::fileEachObject*).
[[gnu::noinline]] int fileEachObject(host::IDicomServerConfiguration& configuration,
                                     const std::vector<std::string>& received);

// Per object: reads its first 4 KB, creates the folders of the default
// layout (study, series) under `storageRoot` and renames it into place.
PassResult baselinePass(const std::vector<BenchObject>& objects, const std::filesystem::path& incoming,
                        const std::filesystem::path& storageRoot);

// Per object: DCMTK's plain DcmFileFormat::loadFile, for reference.
PassResult dcmtkLoadPass(const std::vector<BenchObject>& objects);

// `path` in Windows form.
std::string windowsPath(const std::filesystem::path& path);

// A fresh folder under the system's temporary folder (or `base`).
std::filesystem::path makeWorkFolder(const std::filesystem::path& base = {});

double median(std::vector<double> values);

} // namespace bench

#endif // BENCH_FILING_PASSES_H
