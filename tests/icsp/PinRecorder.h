#pragma once
// A target that only watches the lines: the data bits present at each falling
// PGC edge, how long PGC stayed high, and optionally bits it drives back on PGD.
#include <deque>
#include <vector>

#include "sim/Pins.h"

namespace mrk::test {

class PinRecorder : public sim::PinTarget {
public:
    std::vector<int> latched;            // PGD level at each falling PGC edge
    std::vector<sim::Nanos> highTimes;   // PGC high time of each clock
    std::vector<sim::Mclr> mclrSeen;     // MCLR levels in order of change
    std::deque<bool> toDrive;            // bits to drive, one per rising edge, after `driveAfter` clocks
    int driveAfterFalling = -1;          // start driving after this many falling edges (-1: never)

    void Drive(sim::Nanos t, const sim::ProgrammerPins& p) override {
        if (mclrSeen.empty() || mclrSeen.back() != p.mclr) mclrSeen.push_back(p.mclr);
        if (p.pgcHigh && !last_.pgcHigh) {
            riseAt_ = t;
            if (driving_ && !toDrive.empty()) {
                drivenBit_ = toDrive.front();
                toDrive.pop_front();
                hasBit_ = true;
            }
        }
        if (!p.pgcHigh && last_.pgcHigh) {
            latched.push_back(sim::PgdLevel(t, p, nullptr) ? 1 : 0);
            highTimes.push_back(t - riseAt_);
            if (static_cast<int>(latched.size()) == driveAfterFalling) driving_ = true;
        }
        last_ = p;
    }
    std::optional<bool> PgdDrive(sim::Nanos) override {
        if (driving_ && hasBit_) return drivenBit_;
        return std::nullopt;
    }

private:
    sim::ProgrammerPins last_;
    sim::Nanos riseAt_ = 0;
    bool driving_ = false, hasBit_ = false, drivenBit_ = false;
};

} // namespace mrk::test
