#pragma once
// What the host did on the wire, as the bench saw it: every port access, every
// call on the FTDI device with the bytes it carried, every reading of the
// bench's clock, each with the simulated time it happened at. Kept as a running
// digest and a count, so that whole commands can be compared cheaply: two runs
// with the same digest put the same levels on the lines at the same times.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "sim/SimClock.h"
#include "transport/FtDevice.h"
#include "transport/PortBackend.h"

namespace mrk::sim {

class WireTrace {
public:
    explicit WireTrace(const SimClock& clock) : clock_(clock) {}

    // One event: its kind, two numbers and the bytes it carried.
    void Record(char kind, uint64_t a, uint64_t b, const uint8_t* data = nullptr, size_t n = 0);
    void Clear();
    uint64_t Digest() const { return digest_; }
    uint64_t Events() const { return events_; }

private:
    void Mix(uint64_t v);

    const SimClock& clock_;
    uint64_t digest_ = kOffset;
    uint64_t events_ = 0;
    static constexpr uint64_t kOffset = 0xcbf29ce484222325ull;
};

// The port as the host reaches it, each access recorded on the way through.
std::unique_ptr<PortBackend> TracedPort(PortBackend& port, WireTrace& trace);
// The FTDI device as the host reaches it, each call recorded on the way through.
std::unique_ptr<FtDevice> TracedFtDevice(std::unique_ptr<FtDevice> device, WireTrace& trace);

} // namespace mrk::sim
