// The objects the benchmarks file and send: copies of one seed DICOM file
// (pydicom's CT_small.dcm by default), each with fresh study, series and
// instance UIDs, optionally with its pixel data replaced by a larger image.
#ifndef BENCH_BENCH_OBJECTS_H
#define BENCH_BENCH_OBJECTS_H

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace bench {

inline constexpr const char* kDefaultSeed = "/usr/lib/python3/dist-packages/pydicom/data/test_files/CT_small.dcm";

struct BenchObject {
    std::filesystem::path file;
    std::string study, series, instance;
};

struct ObjectSet {
    std::filesystem::path seed = kDefaultSeed;
    int count = 0;
    // 0 keeps the seed's pixel data; otherwise 16-bit pixels of about this
    // many bytes in a square image.
    std::size_t pixelBytes = 0;
    // Objects per series and series per study, as a modality sends them.
    int perSeries = 50;
    int seriesPerStudy = 2;
};

// Writes the set into `folder` as obj-000000.dcm, ... and answers each
// object's file and UIDs, in order.
std::vector<BenchObject> writeObjects(const ObjectSet& set, const std::filesystem::path& folder);

} // namespace bench

#endif // BENCH_BENCH_OBJECTS_H
