#include "sim/VirtualKordel.h"

#include "core/Format.h"

namespace mrk::sim {

namespace {
constexpr uint8_t kDataPgd = 0x01;
constexpr uint8_t kDataRequest = 0x02;
constexpr uint8_t kDataMclrStage = 0x04;
constexpr uint8_t kDataVpp = 0x10;
constexpr uint8_t kStatusPgd = 0x10;
constexpr uint8_t kStatusEcho = 0x40;
// Status inputs the programmer does not use read high, as open inputs do.
constexpr uint8_t kStatusIdle = 0x28;
constexpr size_t kKeptDataWrites = 4096;
} // namespace

VirtualKordel::VirtualKordel(SimClock& clock, PinTarget* target, const Options& opt)
    : clock_(clock), target_(target), opt_(opt) {}

std::string VirtualKordel::Describe() const {
    return Format("виртуальный программатор Kordel на %03X", opt_.base);
}

ProgrammerPins VirtualKordel::Pins() const {
    ProgrammerPins p;
    // VPP on pin 6 wins; the first stage on pin 4 alone holds MCLR low (reset);
    // with both off the module runs.
    if (data_ & kDataVpp) p.mclr = Mclr::Vpp;
    else if (data_ & kDataMclrStage) p.mclr = Mclr::Low;
    else p.mclr = Mclr::Vdd;
    p.pgcHigh = (control_ & 0x01) != 0;
    p.pgdPulledLow = (data_ & kDataPgd) != 0;
    return p;
}

bool VirtualKordel::EchoHigh(Nanos t) const {
    // The echo shows the request level as it was echoDelay ago.
    bool level = requestBefore_;
    for (const auto& [when, v] : requestChanges_) {
        if (when + opt_.echoDelay > t) break;
        level = v;
    }
    return level;
}

void VirtualKordel::UpdateTarget() {
    if (target_ && opt_.fault != KordelFault::Absent) target_->Drive(clock_.Now(), Pins());
}

void VirtualKordel::SetFault(KordelFault fault) {
    const bool pulledOut = fault == KordelFault::Absent && opt_.fault != KordelFault::Absent;
    opt_.fault = fault;
    // Without the programmer nothing drives the module's lines: MCLR rests at VDD
    // through the module's pull-up, PGC and PGD are let go, and the chip runs.
    if (pulledOut && target_) target_->Drive(clock_.Now(), ProgrammerPins{});
}

void VirtualKordel::CountAccess() {
    if (opt_.fault == KordelFault::UnplugAfterAccesses && reads_ + writes_ > opt_.unplugAfter)
        SetFault(KordelFault::Absent);
}

void VirtualKordel::Out(uint16_t port, uint8_t value) {
    clock_.Advance(opt_.accessTime);
    ++writes_;
    CountAccess();
    // The registers are the PC's port: they take the value whether or not a
    // programmer hangs on the port (UpdateTarget drives nothing without one).
    if (port == opt_.base) {
        const bool oldReq = (data_ & kDataRequest) != 0;
        data_ = value;
        const bool newReq = (data_ & kDataRequest) != 0;
        if (newReq != oldReq) requestChanges_.emplace_back(clock_.Now(), newReq);
        dataWrites_.push_back(value);
        if (dataWrites_.size() > kKeptDataWrites) dataWrites_.pop_front();
        UpdateTarget();
    } else if (port == opt_.base + 2) {
        control_ = value;
        UpdateTarget();
    }
}

std::optional<uint8_t> VirtualKordel::In(uint16_t port) {
    clock_.Advance(opt_.accessTime);
    ++reads_;
    CountAccess();
    const Nanos t = clock_.Now();
    // Forget changes the delay line has already passed on, keeping their result.
    while (!requestChanges_.empty() && requestChanges_.front().first + opt_.echoDelay <= t &&
           requestChanges_.size() > 1 && requestChanges_[1].first + opt_.echoDelay <= t) {
        requestBefore_ = requestChanges_.front().second;
        requestChanges_.pop_front();
    }
    if (port == opt_.base) return data_;
    if (port == opt_.base + 2) return control_;
    if (port != opt_.base + 1) return 0xFF;

    uint8_t status = kStatusIdle;
    bool echo = false;
    switch (opt_.fault) {
    case KordelFault::None:
    case KordelFault::UnplugAfterAccesses: echo = EchoHigh(t); break;
    case KordelFault::Absent:
    case KordelFault::EchoStuckHigh: echo = true; break;
    case KordelFault::EchoStuckLow: echo = false; break;
    }
    if (echo) status |= kStatusEcho;
    // PGD comes back through an inverter: the status bit is 0 while PGD is high.
    bool pgdHigh = true;
    if (opt_.fault == KordelFault::Absent) {
        pgdHigh = false; // nothing on the select input: it floats high, GetDat() reads 0
    } else {
        pgdHigh = PgdLevel(t, Pins(), target_);
    }
    if (!pgdHigh) status |= kStatusPgd;
    return status;
}

} // namespace mrk::sim
