#pragma once
#include <optional>

#include "sim/SimClock.h"

namespace mrk::sim {

// Level on the module's MCLR/VPP pin.
enum class Mclr { Low, Vdd, Vpp };

// What a programmer puts on the module's three programming lines.
struct ProgrammerPins {
    Mclr mclr = Mclr::Vdd;
    bool pgcHigh = false;
    bool pgdPulledLow = false; // the programmer's PGD output sinks the line
    bool operator==(const ProgrammerPins&) const = default;
};

// Anything hanging on the programming lines.
class PinTarget {
public:
    virtual ~PinTarget() = default;
    // The programmer's outputs at time t (called whenever any of them may have changed).
    virtual void Drive(Nanos t, const ProgrammerPins& pins) = 0;
    // What the target itself drives on PGD at time t, or nothing when released.
    [[nodiscard]] virtual std::optional<bool> PgdDrive(Nanos t) = 0;
};

// The PGD wire: the programmer's low wins, then the target, else the pull-up.
[[nodiscard]] inline bool PgdLevel(Nanos t, const ProgrammerPins& pins, PinTarget* target) {
    if (pins.pgdPulledLow) return false;
    if (target) {
        if (auto d = target->PgdDrive(t)) return *d;
    }
    return true;
}

} // namespace mrk::sim
