#include "sim/VirtualFtdi.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace mrk::sim {

namespace {
constexpr uint8_t kPinClkLow = 0x04;
constexpr uint8_t kPinPgdIn = 0x08;
constexpr uint8_t kPinVpp = 0x20;
constexpr uint8_t kPinPgdOut = 0x40;
constexpr uint64_t kPsPerNs = 1000;
constexpr uint64_t kPsPerSecond = 1000000000000ull;
constexpr uint64_t kPsPerMs = 1000000000ull;
// Bit-bang clock of the chip, relative to the baud rate set.
constexpr uint64_t kBitBangClockPerBaud = 16;
// Data bytes in one full-speed USB packet of read-back (64 less two status bytes).
constexpr size_t kPacketData = 62;
// Host data bytes in one OUT packet, and the chip's two buffers.
constexpr size_t kOutPacket = 64;
constexpr size_t kTxBuffer = 128;
constexpr size_t kRxBuffer = 256;
} // namespace

VirtualFtdi::VirtualFtdi(SimClock& clock, PinTarget* target, const VirtualFtdiOptions& opt)
    : clock_(clock), target_(target), opt_(opt), jitterState_(opt.jitterSeed ? opt.jitterSeed : 1) {}

Nanos VirtualFtdi::DeliveryDelay() {
    if (opt_.deliveryJitter == 0) return 0;
    // xorshift32: the same sequence of delays on every run.
    jitterState_ ^= jitterState_ << 13;
    jitterState_ ^= jitterState_ >> 17;
    jitterState_ ^= jitterState_ << 5;
    return jitterState_ % (opt_.deliveryJitter + 1);
}

bool VirtualFtdi::Present() const {
    return opt_.fault != FtdiFault::Absent && !gone_;
}

FtStatus VirtualFtdi::CheckHandle(FtHandleValue h) const {
    if (!open_ || h != static_cast<const void*>(this)) return ftstatus::kInvalidHandle;
    if (!Present()) return ftstatus::kIoError;
    return ftstatus::kOk;
}

void VirtualFtdi::CountTransfer() {
    ++transfers_;
    if (opt_.fault == FtdiFault::UnplugAfterTransfers && transfers_ >= opt_.unplugAfter) gone_ = true;
}

uint64_t VirtualFtdi::SamplePeriodPs() const {
    return kPsPerSecond / (kBitBangClockPerBaud * std::max<uint32_t>(baud_, 1));
}

ProgrammerPins VirtualFtdi::Pins() const {
    ProgrammerPins p;
    // Only pins set as outputs drive anything; an input floats.
    const uint8_t out = static_cast<uint8_t>(latch_ & mask_);
    p.mclr = (out & kPinVpp) ? Mclr::Vpp : Mclr::Vdd;
    p.pgcHigh = (mask_ & kPinClkLow) && !(out & kPinClkLow);
    p.pgdPulledLow = (out & kPinPgdOut) != 0;
    return p;
}

Nanos VirtualFtdi::ReadBackLatency() const {
    return opt_.readBackLatency ? opt_.readBackLatency : static_cast<Nanos>(latency_) * kMs;
}

uint64_t VirtualFtdi::NowPs() const {
    return clock_.Now() * kPsPerNs;
}

void VirtualFtdi::Queue(const uint8_t* data, uint32_t count, uint64_t ready) {
    // A later write never overtakes an earlier one.
    if (!out_.empty()) ready = std::max(ready, out_.back().first);
    for (uint32_t i = 0; i < count; ++i) out_.emplace_back(ready, data[i]);
}

uint32_t VirtualFtdi::TakeHost(uint8_t* data, uint32_t count) {
    const auto n = static_cast<uint32_t>(std::min<size_t>(host_.size(), count));
    std::copy_n(host_.begin(), n, data);
    host_.erase(host_.begin(), host_.begin() + n);
    return n;
}

// Events: 0 a packet from the host taken into the transmit buffer, 1 a sample
// clocked, 2 a full read-back packet sent, 3 one the latency timer sent, 4 a
// packet of status bytes only (ends a read call that got nothing).
// What the chip does with the host's bytes does not wait for the host: it is
// run ahead of the clock as far as it goes, so that the pins show every write
// in time. Packets to the host go only up to inLimit: whether the host reads
// is known only up to its present.
bool VirtualFtdi::NextEvent(uint64_t inLimit, uint64_t& when, int& what) const {
    bool any = false;
    const auto offer = [&](uint64_t t, int w) {
        if (!any || t < when) {
            when = t;
            what = w;
            any = true;
        }
    };
    if (reader_ != Reader::None) {
        const uint64_t latency = ReadBackLatency() * kPsPerNs;
        const uint64_t from = std::max(readFrom_, lastIn_);
        uint64_t t = UINT64_MAX;
        int w = 0;
        if (rx_.size() >= kPacketData) {
            t = std::max(from, rx_[kPacketData - 1].first);
            w = 2;
        }
        if (!rx_.empty() && std::max(from, rx_.front().first + latency) < t) {
            t = std::max(from, rx_.front().first + latency);
            w = 3;
        }
        if (rx_.empty() && reader_ == Reader::Call) {
            t = std::max(from, readFrom_ + latency);
            w = 4;
        }
        if (t <= inLimit) offer(t, w);
    }
    if (!out_.empty()) {
        const uint64_t t = std::max(lastOut_, out_.front().first);
        size_t n = 0;
        while (n < out_.size() && n < kOutPacket && out_[n].first <= t) ++n;
        if (tx_.size() + n <= kTxBuffer) offer(t, 0);
    }
    if (!tx_.empty() && rx_.size() < kRxBuffer) offer(nextClock_, 1);
    return any;
}

void VirtualFtdi::Clock(uint64_t t) {
    // Read the pins first, then put the new byte out.
    uint8_t back = static_cast<uint8_t>(latch_ & mask_);
    const uint8_t inputs = static_cast<uint8_t>(~mask_);
    uint8_t in = inputs; // unconnected inputs read high
    if ((inputs & kPinPgdIn) && !PgdLevel(t / kPsPerNs, Pins(), target_)) in = static_cast<uint8_t>(in & ~kPinPgdIn);
    back = static_cast<uint8_t>(back | in);
    rx_.emplace_back(t, back);
    const ProgrammerPins before = Pins();
    latch_ = tx_.front();
    tx_.pop_front();
    if (target_ && Pins() != before) target_->Drive(t / kPsPerNs, Pins());
    nextClock_ = t + SamplePeriodPs();
    ++samples_;
}

void VirtualFtdi::SendPacket(uint64_t t, bool timer) {
    // Only what was clocked by then goes.
    size_t n = 0;
    while (n < rx_.size() && n < kPacketData && rx_[n].first <= t) ++n;
    for (size_t i = 0; i < n; ++i) host_.push_back(rx_[i].second);
    rx_.erase(rx_.begin(), rx_.begin() + static_cast<long>(n));
    lastIn_ = t;
    if (timer && n > 0) ++roundTrips_;
    if (timer && reader_ == Reader::Call) shortPacket_ = true;
}

bool VirtualFtdi::RunUntil(uint64_t limit, const std::function<bool()>& done) {
    const bool blocking = static_cast<bool>(done);
    for (;;) {
        if (done && done()) return true;
        uint64_t when = 0;
        int what = 0;
        if (!NextEvent(limit, when, what)) {
            // Nothing more will happen by the limit: a blocking call waits it out.
            if (blocking && limit != UINT64_MAX && limit > NowPs())
                clock_.Advance((limit - NowPs() + kPsPerNs - 1) / kPsPerNs);
            return done ? done() : true;
        }
        switch (what) {
        case 0: {
            // The packet goes into the transmit buffer; an idle sample clock starts one period later.
            if (tx_.empty()) nextClock_ = std::max(nextClock_, when + SamplePeriodPs());
            size_t n = 0;
            while (n < out_.size() && n < kOutPacket && out_[n].first <= when) ++n;
            for (size_t i = 0; i < n; ++i) tx_.push_back(out_[i].second);
            out_.erase(out_.begin(), out_.begin() + static_cast<long>(n));
            lastOut_ = when;
            break;
        }
        case 1: Clock(when); break;
        case 2: SendPacket(when, false); break;
        case 3: SendPacket(when, true); break;
        default:
            lastIn_ = when;
            shortPacket_ = true;
            break;
        }
        // A call that waits lasts until what it waits for has happened.
        if (blocking && when > NowPs()) clock_.Advance((when - NowPs() + kPsPerNs - 1) / kPsPerNs);
    }
}

FtStatus VirtualFtdi::ListCount(uint32_t& count) {
    count = Present() ? 1 : 0;
    return ftstatus::kOk;
}

FtStatus VirtualFtdi::ListDescription(uint32_t index, char* buffer) {
    if (!Present() || index != 0) return ftstatus::kDeviceNotFound;
    std::string shown = opt_.description;
    if (opt_.fault == FtdiFault::WrongDescription)
        for (auto& c : shown) c = static_cast<char>(std::islower(static_cast<unsigned char>(c)) ? std::toupper(c) : std::tolower(c));
    std::memset(buffer, 0, kFtDescriptionSize);
    std::memcpy(buffer, shown.data(), std::min(shown.size(), kFtDescriptionSize - 1));
    return ftstatus::kOk;
}

FtStatus VirtualFtdi::ListSerial(uint32_t index, char* buffer) {
    if (!Present() || index != 0) return ftstatus::kDeviceNotFound;
    std::memset(buffer, 0, kFtDescriptionSize);
    std::memcpy(buffer, opt_.serial.data(), std::min(opt_.serial.size(), kFtDescriptionSize - 1));
    return ftstatus::kOk;
}

FtStatus VirtualFtdi::OpenByDescription(const char* description, FtHandleValue& handle) {
    if (!Present()) return ftstatus::kDeviceNotFound;
    char shown[kFtDescriptionSize];
    ListDescription(0, shown);
    if (std::strcmp(description, shown) != 0) return ftstatus::kDeviceNotFound;
    if (open_) return ftstatus::kDeviceNotOpened; // one user at a time
    open_ = true;
    ++opens_;
    handle = this;
    return ftstatus::kOk;
}

FtStatus VirtualFtdi::OpenBySerial(const char* serial, FtHandleValue& handle) {
    if (!Present() || opt_.serial != serial) return ftstatus::kDeviceNotFound;
    if (open_) return ftstatus::kDeviceNotOpened; // one user at a time
    open_ = true;
    ++opens_;
    handle = this;
    return ftstatus::kOk;
}

FtStatus VirtualFtdi::Close(FtHandleValue h) {
    if (auto st = CheckHandle(h)) return st;
    open_ = false;
    return ftstatus::kOk;
}

FtStatus VirtualFtdi::SetBitMode(FtHandleValue h, uint8_t mask, uint8_t mode) {
    if (auto st = CheckHandle(h)) return st;
    mask_ = mask;
    mode_ = mode;
    if (target_ && mode_ == kFtModeSyncBitBang) target_->Drive(clock_.Now(), Pins());
    return ftstatus::kOk;
}

FtStatus VirtualFtdi::SetLatencyTimer(FtHandleValue h, uint8_t ms) {
    if (auto st = CheckHandle(h)) return st;
    if (ms < 1) return ftstatus::kInvalidParameter;
    latency_ = ms;
    return ftstatus::kOk;
}

FtStatus VirtualFtdi::SetTimeouts(FtHandleValue h, uint32_t readMs, uint32_t writeMs) {
    if (auto st = CheckHandle(h)) return st;
    readTimeoutMs_ = readMs;
    writeTimeoutMs_ = writeMs;
    return ftstatus::kOk;
}

FtStatus VirtualFtdi::SetBaudRate(FtHandleValue h, uint32_t baud) {
    if (auto st = CheckHandle(h)) return st;
    if (baud < 300 || baud > 3000000) return ftstatus::kInvalidBaudRate;
    baud_ = baud;
    return ftstatus::kOk;
}

FtStatus VirtualFtdi::Purge(FtHandleValue h, uint32_t mask) {
    if (auto st = CheckHandle(h)) return st;
    // What the chip and the driver hold is dropped; samples still to be clocked come later.
    RunUntil(NowPs(), {});
    if (mask & kFtPurgeRx) {
        const uint64_t now = NowPs();
        while (!rx_.empty() && rx_.front().first <= now) rx_.pop_front();
        host_.clear();
    }
    return ftstatus::kOk;
}

FtStatus VirtualFtdi::GetQueueStatus(FtHandleValue h, uint32_t& rxBytes) {
    clock_.Advance(opt_.pollCost);
    ++polls_;
    if (auto st = CheckHandle(h)) return st;
    RunUntil(NowPs(), {});
    rxBytes = static_cast<uint32_t>(host_.size());
    return ftstatus::kOk;
}

uint32_t VirtualFtdi::StartWrite(uint32_t count) {
    // The host was preempted after it read its clock, before the write went.
    clock_.Advance(opt_.hostLate);
    ++writes_;
    CountTransfer();
    if (opt_.fault == FtdiFault::ShortWrites) return std::min(count, opt_.shortWriteLimit);
    return count;
}

FtStatus VirtualFtdi::Write(FtHandleValue h, const uint8_t* data, uint32_t count, uint32_t& written) {
    if (auto st = CheckHandle(h)) return st;
    const uint32_t take = StartWrite(count);
    written = take;
    if (mode_ != kFtModeSyncBitBang) return ftstatus::kOk;

    // The driver takes the write at once; it reaches the chip a little later.
    RunUntil(NowPs(), {});
    Queue(data, take, (clock_.Now() + DeliveryDelay()) * kPsPerNs);
    RunUntil(NowPs(), {});
    return ftstatus::kOk;
}

FtStatus VirtualFtdi::Read(FtHandleValue h, uint8_t* data, uint32_t count, uint32_t& read) {
    if (auto st = CheckHandle(h)) return st;
    ++reads_;
    CountTransfer();
    read = 0;
    if (count == 0) return ftstatus::kOk;
    // Wait until count bytes have come, at most the read time-out.
    const uint64_t now = NowPs();
    const uint64_t deadline = readTimeoutMs_ ? now + readTimeoutMs_ * kPsPerMs : UINT64_MAX;
    RunUntil(deadline, [&] { return host_.size() >= count; });
    read = TakeHost(data, count);
    return ftstatus::kOk;
}

FtStatus VirtualFtdi::BulkIn(FtHandleValue h, uint8_t* data, uint32_t size, uint32_t& got) {
    got = 0;
    if (auto st = CheckHandle(h)) return st;
    ++reads_;
    CountTransfer();
    RunUntil(NowPs(), {});
    // One transfer: full packets as they come, ended by one that is not full.
    reader_ = Reader::Call;
    readFrom_ = NowPs();
    shortPacket_ = false;
    const uint64_t deadline = NowPs() + uint64_t{readTimeoutMs_ ? readTimeoutMs_ : 5000} * kPsPerMs;
    RunUntil(deadline, [&] { return host_.size() >= size || shortPacket_; });
    reader_ = readAhead_ ? Reader::Driver : Reader::None;
    got = TakeHost(data, size);
    return ftstatus::kOk;
}

FtStatus VirtualFtdi::BulkOut(FtHandleValue h, const uint8_t* data, uint32_t size, uint32_t& written) {
    uint8_t* none = nullptr;
    uint32_t got = 0;
    return BulkOutIn(h, data, size, written, none, 0, got);
}

FtStatus VirtualFtdi::BulkOutIn(FtHandleValue h, const uint8_t* out, uint32_t size, uint32_t& written, uint8_t* in,
                                uint32_t want, uint32_t& got) {
    written = got = 0;
    if (auto st = CheckHandle(h)) return st;
    const uint32_t take = StartWrite(size);
    RunUntil(NowPs(), {});
    if (mode_ == kFtModeSyncBitBang) Queue(out, take, (clock_.Now() + DeliveryDelay()) * kPsPerNs);
    if (want > 0) {
        ++reads_;
        CountTransfer();
        reader_ = Reader::Async;
        readFrom_ = NowPs();
    }
    const uint64_t timeout = std::max(readTimeoutMs_, writeTimeoutMs_);
    const uint64_t deadline = NowPs() + (timeout ? timeout : 5000) * kPsPerMs;
    RunUntil(deadline, [&] { return out_.empty() && host_.size() >= want; });
    reader_ = readAhead_ ? Reader::Driver : Reader::None;
    if (want > 0) got = TakeHost(in, want);
    written = take - static_cast<uint32_t>(out_.size());
    if (!out_.empty()) {
        // The transfer is cancelled at its time-out: what the chip did not take is dropped.
        out_.clear();
        return ftstatus::kIoError;
    }
    if (!Present()) return ftstatus::kIoError;
    return got < want ? ftstatus::kIoError : ftstatus::kOk;
}

} // namespace mrk::sim
