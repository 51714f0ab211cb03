#pragma once
#include <cstdint>

namespace mrk::sim {

using Nanos = uint64_t;
constexpr Nanos kUs = 1000;
constexpr Nanos kMs = 1000 * kUs;

// The bench's own time. It moves only with the programmer's line activity
// (port accesses, USB samples clocked out), never with the host's wall clock.
class SimClock {
public:
    Nanos Now() const { return now_; }
    void Advance(Nanos d) { now_ += d; }
    uint32_t Millis() const { return static_cast<uint32_t>(now_ / kMs); }

private:
    Nanos now_ = 0;
};

} // namespace mrk::sim
