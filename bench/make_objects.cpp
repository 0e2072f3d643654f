// bench_make_objects: writes a set of bench objects for the scripts that send
// them over the network.
//
//   bench_make_objects --count N --out DIR [--large-mb MB] [--seed FILE]
#include <cstdio>
#include <stdexcept>
#include <string>

#include "bench_objects.h"

int main(int argc, char** argv)
{
    try {
        bench::ObjectSet set;
        std::string out;
        for (int i = 1; i < argc; ++i) {
            const std::string arg = argv[i];
            if (i + 1 >= argc)
                throw std::runtime_error(arg + " needs a value");
            const std::string value = argv[++i];
            if (arg == "--count")
                set.count = std::stoi(value);
            else if (arg == "--out")
                out = value;
            else if (arg == "--large-mb")
                set.pixelBytes = static_cast<std::size_t>(std::stoi(value)) << 20;
            else if (arg == "--seed")
                set.seed = value;
            else
                throw std::runtime_error("unknown argument " + arg);
        }
        if (out.empty() || set.count <= 0)
            throw std::runtime_error("usage: bench_make_objects --count N --out DIR [--large-mb MB] [--seed FILE]");
        bench::writeObjects(set, out);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_make_objects: %s\n", error.what());
        return 2;
    }
}
