#pragma once
// The virtual bench's fault modes by name (--fault NAME[=N] of both programs):
// for training, for reproducing a report, for scripts.
#include <cstdint>
#include <string>
#include <vector>

#include "sim/Bench.h"

namespace mrk {

// What a mode's =N may be. Without a value the mode takes `fallback`, unless the
// value is required. A value below `min` is refused with `belowMin`.
struct FaultRange {
    uint64_t max = 0;
    uint64_t fallback = 0;
    bool required = false;
    uint64_t min = 0;
    const char* belowMin = nullptr;
};

// One row of the table: its name, its help, its range and what it does to the
// bench. The constructors take the apply: a row that does nothing cannot be written.
struct FaultInfo {
    using Apply = void (*)(sim::BenchOptions& bench, uint64_t n);
    FaultInfo(const char* name, const char* help, Apply apply)
        : name(name), value(nullptr), help(help), apply(apply) {}
    FaultInfo(const char* name, const char* value, const char* help, FaultRange range, Apply apply)
        : name(name), value(value), help(help), range(range), apply(apply) {}

    const char* name;
    const char* value; // what =N means, or nullptr when the mode takes no value
    const char* help;
    FaultRange range;
    Apply apply;
};
const std::vector<FaultInfo>& FaultModes();

// Applies one "NAME" or "NAME=N" to the bench options; false with a reason otherwise.
[[nodiscard]] bool ApplyFault(const std::string& option, sim::BenchOptions& bench, std::string& error);

} // namespace mrk
