// One libFuzzer binary per target; MRK_FUZZ_TARGET names the target function.
#include <cstddef>
#include <cstdint>

#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    mrk::fuzz::MRK_FUZZ_TARGET(data, size);
    return 0;
}
