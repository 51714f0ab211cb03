#pragma once
// The Kordel programmer on the LPT port, as the port registers see it: the
// delay line echoes the request bit back on the acknowledge input, MCLR/VPP,
// PGC and PGD come from the data and control registers, PGD is read on select.
#include <cstdint>
#include <deque>
#include <string>

#include "sim/Pins.h"
#include "transport/PortBackend.h"

namespace mrk::sim {

enum class KordelFault {
    None,
    Absent,
    EchoStuckHigh,
    EchoStuckLow,
    UnplugAfterAccesses, // works for unplugAfter port accesses, then is pulled out (Absent)
};

class VirtualKordel : public PortBackend {
public:
    struct Options {
        uint16_t base = 0x378;
        KordelFault fault = KordelFault::None;
        Nanos echoDelay = 2 * kUs;   // delay line; a slow programmer has a longer one
        Nanos accessTime = 1 * kUs;  // one port access on the ISA-style LPT port
        uint64_t unplugAfter = 0;    // port accesses (reads and writes) before it is pulled out
    };
    VirtualKordel(SimClock& clock, PinTarget* target, const Options& opt);

    [[nodiscard]] std::optional<uint8_t> In(uint16_t port) override;
    void Out(uint16_t port, uint8_t value) override;
    std::string Describe() const override;

    // Counters for benchmarks and tests.
    uint64_t Reads() const { return reads_; }
    uint64_t Writes() const { return writes_; }
    uint8_t DataRegister() const { return data_; }
    uint8_t ControlRegister() const { return control_; }
    // Every data-register write, in order (bounded to the most recent 4096).
    const std::deque<uint8_t>& DataWrites() const { return dataWrites_; }
    ProgrammerPins Pins() const;
    void SetTarget(PinTarget* target) { target_ = target; }
    // Plugging and unplugging, stuck echo: the fault can change during a session.
    // Pulling it out (Absent) lets go of the module's lines.
    void SetFault(KordelFault fault);

private:
    [[nodiscard]] bool EchoHigh(Nanos t) const;
    void UpdateTarget();
    void CountAccess();

    SimClock& clock_;
    PinTarget* target_;
    Options opt_;
    uint8_t data_ = 0x00;
    uint8_t control_ = 0x00;
    // Request-bit changes (time, new level), pruned to what the delay line still holds.
    std::deque<std::pair<Nanos, bool>> requestChanges_;
    bool requestBefore_ = false;
    std::deque<uint8_t> dataWrites_;
    uint64_t reads_ = 0, writes_ = 0;
};

} // namespace mrk::sim
