// bench_filing: filing throughput of the module against the bare baseline,
// in the same run, for small objects (the seed as it is, about 40 KB) and
// large ones (about 20 MB of pixel data).
//
//   bench_filing [--small N] [--large N] [--large-mb MB] [--rounds R]
//                [--seed FILE] [--work DIR] [--profile]
//
// Each round runs a baseline pass, a module pass and a DCMTK loadFile pass
// over each set; the figures are the medians over the rounds, per second of
// wall clock and per second of the process's processor time (the figure that
// other work on the machine disturbs least). --profile runs module passes over
// the small set only (for callgrind). Prints a Markdown table.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_objects.h"
#include "filing_passes.h"

namespace {

namespace fs = std::filesystem;

struct Options {
    int small = 2000;
    int large = 200;
    int largeMegabytes = 20;
    int rounds = 5;
    fs::path seed = bench::kDefaultSeed;
    fs::path work;
    bool profile = false;
};

Options parse(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                throw std::runtime_error(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--small")
            options.small = std::stoi(value());
        else if (arg == "--large")
            options.large = std::stoi(value());
        else if (arg == "--large-mb")
            options.largeMegabytes = std::stoi(value());
        else if (arg == "--rounds")
            options.rounds = std::stoi(value());
        else if (arg == "--seed")
            options.seed = value();
        else if (arg == "--work")
            options.work = value();
        else if (arg == "--profile")
            options.profile = true;
        else
            throw std::runtime_error("unknown argument " + arg);
    }
    return options;
}

// Files per second of each pass kind: medians over the rounds, by wall
// clock and by processor time.
struct SetFigures {
    double baseline = 0, module = 0, dcmtk = 0;
    double baselineCpu = 0, moduleCpu = 0, dcmtkCpu = 0;
    int failures = 0;
};

SetFigures measure(const std::vector<bench::BenchObject>& objects, const fs::path& work, int rounds,
                   bench::LoadedModule& module, const fs::path& moduleRoot)
{
    std::vector<double> baseline, filed, dcmtk, baselineCpu, filedCpu, dcmtkCpu;
    SetFigures figures;
    const double n = static_cast<double>(objects.size());
    for (int round = 0; round < rounds; ++round) {
        const bench::PassResult bare = bench::baselinePass(objects, work / "incoming", work / "baseline-root");
        const bench::PassResult through = bench::moduleFilingPass(module, objects, work / "incoming", moduleRoot);
        const bench::PassResult loaded = bench::dcmtkLoadPass(objects);
        figures.failures += bare.failures + through.failures + loaded.failures;
        baseline.push_back(n / bare.seconds);
        filed.push_back(n / through.seconds);
        dcmtk.push_back(n / loaded.seconds);
        baselineCpu.push_back(n / bare.cpuSeconds);
        filedCpu.push_back(n / through.cpuSeconds);
        dcmtkCpu.push_back(n / loaded.cpuSeconds);
    }
    figures.baseline = bench::median(baseline);
    figures.module = bench::median(filed);
    figures.dcmtk = bench::median(dcmtk);
    figures.baselineCpu = bench::median(baselineCpu);
    figures.moduleCpu = bench::median(filedCpu);
    figures.dcmtkCpu = bench::median(dcmtkCpu);
    return figures;
}

void printRows(const char* name, const std::vector<bench::BenchObject>& objects, const SetFigures& f)
{
    const double kilobytes = static_cast<double>(fs::file_size(objects.front().file)) / 1024;
    std::printf("| %s | %zu | %.0f KB | wall clock | %.0f | %.0f | %.3f | %.0f | %.3f |\n", name, objects.size(),
                kilobytes, f.baseline, f.module, f.module / f.baseline, f.dcmtk, f.dcmtk / f.baseline);
    std::printf("| %s | %zu | %.0f KB | processor time | %.0f | %.0f | %.3f | %.0f | %.3f |\n", name,
                objects.size(), kilobytes, f.baselineCpu, f.moduleCpu, f.moduleCpu / f.baselineCpu, f.dcmtkCpu,
                f.dcmtkCpu / f.baselineCpu);
}

int run(const Options& options)
{
    const fs::path work = bench::makeWorkFolder(options.work);
    const fs::path moduleRoot = work / "module-root";
    std::fprintf(stderr, "bench_filing: writing objects under %s\n", work.c_str());
    bench::ObjectSet smallSet;
    smallSet.seed = options.seed;
    smallSet.count = options.small;
    const std::vector<bench::BenchObject> small = bench::writeObjects(smallSet, work / "small");

    bench::LoadedModule module(work / "host", moduleRoot, "");
    int failures = 0;
    if (options.profile) {
        for (int round = 0; round < options.rounds; ++round)
            failures += bench::moduleFilingPass(module, small, work / "incoming", moduleRoot).failures;
    } else {
        bench::ObjectSet largeSet = smallSet;
        largeSet.count = options.large;
        largeSet.pixelBytes = static_cast<std::size_t>(options.largeMegabytes) << 20;
        const std::vector<bench::BenchObject> large = bench::writeObjects(largeSet, work / "large");

        const SetFigures smallFigures = measure(small, work, options.rounds, module, moduleRoot);
        const SetFigures largeFigures = measure(large, work, options.rounds, module, moduleRoot);
        failures = smallFigures.failures + largeFigures.failures;
        std::printf("| objects | count | size | per second of | baseline files/s | module files/s "
                    "| module / baseline | DCMTK loadFile files/s | DCMTK / baseline |\n");
        std::printf("|---|---|---|---|---|---|---|---|---|\n");
        printRows("small", small, smallFigures);
        printRows("large", large, largeFigures);
        std::printf("\nlarge / small through the module: %.3f by wall clock, %.3f by processor time "
                    "(medians of %d rounds)\n",
                    largeFigures.module / smallFigures.module, largeFigures.moduleCpu / smallFigures.moduleCpu,
                    options.rounds);
    }
    fs::remove_all(work);
    if (failures > 0) {
        std::fprintf(stderr, "bench_filing: %d objects were not filed or read\n", failures);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        return run(parse(argc, argv));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_filing: %s\n", error.what());
        return 2;
    }
}
