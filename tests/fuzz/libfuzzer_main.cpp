// The libFuzzer entry of one fuzz program; DSP_FUZZ_ENTRY names the target's
// entry point in fuzz_targets.h.
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzz::DSP_FUZZ_ENTRY(data, size);
}
