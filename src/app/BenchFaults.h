#pragma once
// The virtual bench's fault modes by name (--fault NAME[=N] of both programs):
// for training, for reproducing a report, for scripts.
#include <string>
#include <vector>

#include "sim/Bench.h"

namespace mrk {

struct FaultInfo {
    const char* name;
    const char* value; // what =N means, or nullptr when the mode takes no value
    const char* help;
};
const std::vector<FaultInfo>& FaultModes();

// Applies one "NAME" or "NAME=N" to the bench options; false with a reason otherwise.
bool ApplyFault(const std::string& option, sim::BenchOptions& bench, std::string& error);

} // namespace mrk
