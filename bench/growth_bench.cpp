// bench_growth: how the module's filing time per object grows with the depth
// of the template (constant folder levels above the file) and with the
// number of keywords in it (attributes looked up and inserted per object).
//
//   bench_growth [--files N] [--rounds R] [--seed FILE] [--work DIR]
//
// The module is loaded afresh for every template. Figures are processor time
// per object (user and system; what other work on the machine disturbs
// least), medians over the rounds; "growth" is against the series' first row.
// Prints Markdown tables.
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_objects.h"
#include "filing_passes.h"

namespace {

namespace fs = std::filesystem;

// Attributes that the seed (CT_small.dcm) carries with a value.
const char* const kKeywords[] = {
    "Modality",    "StudyDate",   "SeriesDate", "AcquisitionDate", "ContentDate", "StudyTime",
    "SeriesTime",  "AcquisitionTime", "ContentTime", "StationName", "ManufacturerModelName", "PatientID",
    "PatientSex",  "PatientAge",  "SliceThickness", "KVP",
};

struct Row {
    std::string label;
    std::string filenameTemplate;
};

double microsecondsPerObject(const std::string& filenameTemplate, const std::vector<bench::BenchObject>& objects,
                             const fs::path& work, int rounds, int& failures)
{
    const fs::path root = work / "growth-root";
    bench::LoadedModule module(work / "host", root, filenameTemplate);
    // One pass untimed, so that no row pays for warming caches.
    failures += bench::moduleFilingPass(module, objects, work / "incoming", root).failures;
    std::vector<double> perObject;
    for (int round = 0; round < rounds; ++round) {
        const bench::PassResult pass = bench::moduleFilingPass(module, objects, work / "incoming", root);
        failures += pass.failures;
        perObject.push_back(pass.cpuSeconds * 1e6 / static_cast<double>(objects.size()));
    }
    return bench::median(perObject);
}

void printSeries(const char* title, const char* column, const std::vector<Row>& rows,
                 const std::vector<bench::BenchObject>& objects, const fs::path& work, int rounds, int& failures)
{
    std::printf("\n%s\n\n| %s | template | µs per object (processor) | growth |\n|---|---|---|---|\n", title, column);
    double first = 0;
    for (const Row& row : rows) {
        const double us = microsecondsPerObject(row.filenameTemplate, objects, work, rounds, failures);
        if (first == 0)
            first = us;
        std::printf("| %s | `%s` | %.1f | %.2f |\n", row.label.c_str(),
                    row.filenameTemplate.size() > 60 ? (row.filenameTemplate.substr(0, 57) + "...").c_str()
                                                     : row.filenameTemplate.c_str(),
                    us, us / first);
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char** argv)
{
    try {
        int files = 2000;
        int rounds = 5;
        bench::ObjectSet set;
        fs::path base;
        for (int i = 1; i < argc; ++i) {
            const std::string arg = argv[i];
            if (i + 1 >= argc)
                throw std::runtime_error(arg + " needs a value");
            const std::string value = argv[++i];
            if (arg == "--files")
                files = std::stoi(value);
            else if (arg == "--rounds")
                rounds = std::stoi(value);
            else if (arg == "--seed")
                set.seed = value;
            else if (arg == "--work")
                base = value;
            else
                throw std::runtime_error("unknown argument " + arg);
        }
        const fs::path work = bench::makeWorkFolder(base);
        set.count = files;
        const std::vector<bench::BenchObject> objects = bench::writeObjects(set, work / "objects");

        std::vector<Row> depth;
        for (int levels : {1, 2, 4, 8, 16}) {
            std::string filenameTemplate;
            for (int level = 1; level <= levels; ++level) {
                filenameTemplate += 'L';
                filenameTemplate += std::to_string(level);
                filenameTemplate += '\\';
            }
            depth.push_back({std::to_string(levels), filenameTemplate + "SOPInstanceUID.dcm"});
        }
        std::vector<Row> keywords;
        for (int count : {1, 2, 4, 8, 16}) {
            std::string filenameTemplate = "SOPInstanceUID";
            for (int k = 0; k < count - 1; ++k)
                filenameTemplate += std::string(".") + kKeywords[k];
            keywords.push_back({std::to_string(count), filenameTemplate + ".dcm"});
        }

        int failures = 0;
        std::printf("%d objects of %ju bytes, medians of %d rounds\n", files,
                    static_cast<std::uintmax_t>(fs::file_size(objects.front().file)), rounds);
        printSeries("Template depth (folder levels above the file; one keyword)", "levels", depth, objects, work,
                    rounds, failures);
        printSeries("Keywords in the template (one folder level)", "keywords", keywords, objects, work, rounds,
                    failures);
        fs::remove_all(work);
        if (failures > 0) {
            std::fprintf(stderr, "bench_growth: %d objects were not filed\n", failures);
            return 1;
        }
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_growth: %s\n", error.what());
        return 2;
    }
}
