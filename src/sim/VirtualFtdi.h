#pragma once
// The FTDI chip of the Surtan programmer as its vendor documents it in
// synchronous bit-bang mode: every byte written is clocked onto the pins at
// the bit-bang rate, and for every byte one byte comes back holding the pins
// as they were just before that byte took effect. Its pins are wired to the
// module: bit 2 = PGC (inverted), bit 3 = PGD in, bit 5 = MCLR/VPP,
// bit 6 = PGD out (1 pulls PGD low).
// The read-back reaches the host in USB packets of 62 bytes: a full packet goes
// at once, one that is not full when the latency timer runs out (counted from
// its first byte). So every transfer the host waits to read back costs about
// one latency, whatever few samples it carries.
#include <cstdint>
#include <deque>
#include <string>

#include "sim/Pins.h"
#include "sim/SimClock.h"
#include "transport/FtDevice.h"

namespace mrk::sim {

enum class FtdiFault {
    None,
    Absent,                // no FTDI device on the bus
    WrongDescription,      // the device shows its description in other letter case
    UnplugAfterTransfers,  // goes away after a number of writes and reads
    ShortWrites,           // takes at most shortWriteLimit bytes per write
};

struct VirtualFtdiOptions {
    std::string description = "Surtan";
    std::string serial = "VRT00001"; // as a real FT232R's eight characters
    FtdiFault fault = FtdiFault::None;
    uint32_t unplugAfter = 0;       // transfers before the device goes away
    uint32_t shortWriteLimit = 64;
    Nanos pollCost = 20 * kUs;      // one FT_GetQueueStatus call
    // How long read-back that does not fill a USB packet waits in the chip
    // before it goes to the host; 0: the latency timer the host set.
    Nanos readBackLatency = 0;
};

class VirtualFtdi : public FtDevice {
public:
    VirtualFtdi(SimClock& clock, PinTarget* target, const VirtualFtdiOptions& opt);

    [[nodiscard]] FtStatus ListCount(uint32_t& count) override;
    [[nodiscard]] FtStatus ListDescription(uint32_t index, char* buffer) override;
    [[nodiscard]] FtStatus ListSerial(uint32_t index, char* buffer) override;
    [[nodiscard]] FtStatus OpenByDescription(const char* description, FtHandleValue& handle) override;
    [[nodiscard]] FtStatus SetBitMode(FtHandleValue h, uint8_t mask, uint8_t mode) override;
    [[nodiscard]] FtStatus SetLatencyTimer(FtHandleValue h, uint8_t ms) override;
    [[nodiscard]] FtStatus SetTimeouts(FtHandleValue h, uint32_t readMs, uint32_t writeMs) override;
    [[nodiscard]] FtStatus SetBaudRate(FtHandleValue h, uint32_t baud) override;
    [[nodiscard]] FtStatus Purge(FtHandleValue h, uint32_t mask) override;
    [[nodiscard]] FtStatus GetQueueStatus(FtHandleValue h, uint32_t& rxBytes) override;
    [[nodiscard]] FtStatus Write(FtHandleValue h, const uint8_t* data, uint32_t count, uint32_t& written) override;
    [[nodiscard]] FtStatus Read(FtHandleValue h, uint8_t* data, uint32_t count, uint32_t& read) override;
    [[nodiscard]] FtStatus Close(FtHandleValue h) override;
    std::string Name() const override { return "virtual FTDI"; }

    // One sample every 1/(16 x baud rate) seconds: the bit-bang clock of the
    // FT232R/FT245R is sixteen times the baud rate set.
    uint64_t SamplePeriodPs() const;
    // What the pins put on the module's lines now.
    ProgrammerPins Pins() const;
    uint8_t PinLatch() const { return latch_; }
    [[nodiscard]] bool IsOpen() const { return open_; }
    uint8_t BitMode() const { return mode_; }
    uint8_t Mask() const { return mask_; }
    uint32_t BaudRate() const { return baud_; }
    uint8_t Latency() const { return latency_; }
    uint32_t ReadTimeoutMs() const { return readTimeoutMs_; }
    uint32_t WriteTimeoutMs() const { return writeTimeoutMs_; }

    // Counters for benchmarks and tests.
    uint64_t Writes() const { return writes_; }
    uint64_t Reads() const { return reads_; }
    uint64_t Polls() const { return polls_; }
    uint64_t Samples() const { return samples_; }
    uint64_t Opens() const { return opens_; }
    // Read-back packets the latency timer sent (not full): the round trips paid.
    uint64_t RoundTrips() const { return roundTrips_; }
    // The latency a read-back packet that is not full waits in the chip.
    Nanos ReadBackLatency() const;

    void SetTarget(PinTarget* target) { target_ = target; }
    void SetFault(FtdiFault fault) { opt_.fault = fault; }
    // The host's queue-status calls may change speed after it measured them
    // (another load on the machine, a driver call served locally).
    void SetPollCost(Nanos cost) { opt_.pollCost = cost; }
    void SetReadBackLatency(Nanos latency) { opt_.readBackLatency = latency; }

private:
    [[nodiscard]] bool Present() const;
    [[nodiscard]] FtStatus CheckHandle(FtHandleValue h) const;
    void CountTransfer();
    size_t Visible();
    // Queues one read-back byte clocked at t (ps) into the packet being filled.
    void QueueReadBack(uint64_t t, uint8_t back);
    void Drop(size_t n);

    SimClock& clock_;
    PinTarget* target_;
    VirtualFtdiOptions opt_;
    bool open_ = false;
    bool gone_ = false;
    uint8_t mode_ = 0;
    uint8_t mask_ = 0;
    uint8_t latch_ = 0;
    uint32_t baud_ = 9600;
    uint8_t latency_ = 16;
    uint32_t readTimeoutMs_ = 0;
    uint32_t writeTimeoutMs_ = 0;
    uint64_t nextSamplePs_ = 0; // when the last queued sample is clocked
    // Read-back bytes with the time (ps) each reaches the host, in order.
    std::deque<std::pair<uint64_t, uint8_t>> rx_;
    // The packet being filled: its bytes are the last packetBytes_ of rx_, and
    // it goes at packetDue_ (ps) unless it fills first.
    size_t packetBytes_ = 0;
    uint64_t packetDue_ = 0;
    uint64_t transfers_ = 0;
    uint64_t writes_ = 0, reads_ = 0, polls_ = 0, samples_ = 0, opens_ = 0, roundTrips_ = 0;
};

} // namespace mrk::sim
