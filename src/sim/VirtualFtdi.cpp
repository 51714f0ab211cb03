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
} // namespace

VirtualFtdi::VirtualFtdi(SimClock& clock, PinTarget* target, const VirtualFtdiOptions& opt)
    : clock_(clock), target_(target), opt_(opt) {}

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

void VirtualFtdi::QueueReadBack(uint64_t t, uint8_t back) {
    // A packet whose timer ran out before this byte went without it.
    if (packetBytes_ > 0 && t >= packetDue_) packetBytes_ = 0;
    if (packetBytes_ == 0) {
        packetDue_ = t + ReadBackLatency() * kPsPerNs;
        ++roundTrips_;
    }
    rx_.emplace_back(packetDue_, back);
    if (++packetBytes_ < kPacketData) return;
    // Full: the packet goes now, its timer unused.
    for (size_t i = rx_.size() - packetBytes_; i < rx_.size(); ++i) rx_[i].first = t;
    packetBytes_ = 0;
    --roundTrips_;
}

size_t VirtualFtdi::Visible() {
    const uint64_t now = clock_.Now() * kPsPerNs;
    // Entries are in time order: those already clocked are a prefix.
    const auto end = std::upper_bound(rx_.begin(), rx_.end(), now,
                                      [](uint64_t t, const std::pair<uint64_t, uint8_t>& e) { return t < e.first; });
    return static_cast<size_t>(end - rx_.begin());
}

void VirtualFtdi::Drop(size_t n) {
    rx_.erase(rx_.begin(), rx_.begin() + static_cast<long>(n));
    // Bytes of the packet being filled have not reached the host: never dropped.
    packetBytes_ = std::min(packetBytes_, rx_.size());
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
    // What has arrived is dropped; samples still being clocked arrive later.
    if (mask & kFtPurgeRx) Drop(Visible());
    return ftstatus::kOk;
}

FtStatus VirtualFtdi::GetQueueStatus(FtHandleValue h, uint32_t& rxBytes) {
    clock_.Advance(opt_.pollCost);
    ++polls_;
    if (auto st = CheckHandle(h)) return st;
    rxBytes = static_cast<uint32_t>(Visible());
    return ftstatus::kOk;
}

FtStatus VirtualFtdi::Write(FtHandleValue h, const uint8_t* data, uint32_t count, uint32_t& written) {
    if (auto st = CheckHandle(h)) return st;
    ++writes_;
    CountTransfer();
    uint32_t take = count;
    if (opt_.fault == FtdiFault::ShortWrites) take = std::min(take, opt_.shortWriteLimit);
    written = take;
    if (mode_ != kFtModeSyncBitBang) return ftstatus::kOk;

    // Samples follow on from the previous ones, or start now if the pins were idle.
    uint64_t t = std::max(nextSamplePs_, clock_.Now() * kPsPerNs);
    const uint64_t period = SamplePeriodPs();
    for (uint32_t i = 0; i < take; ++i) {
        t += period;
        // Read the pins first, then put the new byte out.
        uint8_t back = static_cast<uint8_t>(latch_ & mask_);
        const uint8_t inputs = static_cast<uint8_t>(~mask_);
        uint8_t in = inputs; // unconnected inputs read high
        if (inputs & kPinPgdIn) {
            if (!PgdLevel(t / kPsPerNs, Pins(), target_)) in = static_cast<uint8_t>(in & ~kPinPgdIn);
        }
        back = static_cast<uint8_t>(back | in);
        QueueReadBack(t, back);
        const ProgrammerPins before = Pins();
        latch_ = data[i];
        if (target_ && Pins() != before) target_->Drive(t / kPsPerNs, Pins());
    }
    nextSamplePs_ = t;
    samples_ += take;
    return ftstatus::kOk;
}

FtStatus VirtualFtdi::Read(FtHandleValue h, uint8_t* data, uint32_t count, uint32_t& read) {
    if (auto st = CheckHandle(h)) return st;
    ++reads_;
    CountTransfer();
    read = 0;
    if (count == 0) return ftstatus::kOk;
    // Wait until count bytes have been clocked, at most the read time-out.
    const uint64_t now = clock_.Now() * kPsPerNs;
    const uint64_t deadline = readTimeoutMs_ ? now + readTimeoutMs_ * kPsPerMs : UINT64_MAX;
    uint64_t until = now;
    if (rx_.size() >= count) until = rx_[count - 1].first;
    else until = deadline == UINT64_MAX ? (rx_.empty() ? now : rx_.back().first) : deadline;
    until = std::min(until, deadline);
    if (until > now) clock_.Advance((until - now + kPsPerNs - 1) / kPsPerNs);
    const size_t n = std::min<size_t>(Visible(), count);
    for (size_t i = 0; i < n; ++i) data[i] = rx_[i].second;
    Drop(n);
    read = static_cast<uint32_t>(n);
    return ftstatus::kOk;
}

} // namespace mrk::sim
