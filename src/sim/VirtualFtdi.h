#pragma once
// The FTDI chip of the Surtan programmer as its vendor documents it in
// synchronous bit-bang mode: every byte written is clocked onto the pins at
// the bit-bang rate, and for every byte one byte comes back holding the pins
// as they were just before that byte took effect. Its pins are wired to the
// module: bit 2 = PGC (inverted), bit 3 = PGD in, bit 5 = MCLR/VPP,
// bit 6 = PGD out (1 pulls PGD low).
// At the USB level: the host's writes reach the chip in bulk packets of 64
// bytes, each taken only when its 128-byte transmit buffer has room for it;
// the chip clocks a sample only while its 256-byte receive buffer has room for
// the read-back (a full buffer stalls the pins where they are); the read-back
// goes to the host, when the host has a bulk read waiting, in packets of 62
// data bytes behind 2 status bytes: a full packet at once, one that is not
// full when the latency timer runs out (counted from its first byte). So every
// transfer the host waits to read back costs about one latency, whatever few
// samples it carries. The vendor's D2XX driver keeps a read waiting all the
// time and queues what comes; libftdi1 reads only when it is called.
// The bus's own time per packet is not modelled: the sample clock is what
// limits the transfers here.
#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "sim/Pins.h"
#include "sim/SimClock.h"
#include "transport/FtDevice.h"
#include "transport/SurtanChoice.h"

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
    // The bus and the host as they are under load: each write reaches the pins
    // after a delay of its own, anywhere from 0 to deliveryJitter (a USB frame
    // and more); and the host is preempted for hostLate between reading its
    // clock and handing the write to the driver.
    Nanos deliveryJitter = 0;
    Nanos hostLate = 0;
    uint32_t jitterSeed = 1;
};

class VirtualFtdi : public FtDevice, public FtSerialOpen {
public:
    VirtualFtdi(SimClock& clock, PinTarget* target, const VirtualFtdiOptions& opt);

    [[nodiscard]] FtStatus ListCount(uint32_t& count) override;
    [[nodiscard]] FtStatus ListDescription(uint32_t index, char* buffer) override;
    [[nodiscard]] FtStatus ListSerial(uint32_t index, char* buffer) override;
    [[nodiscard]] FtStatus OpenByDescription(const char* description, FtHandleValue& handle) override;
    [[nodiscard]] FtStatus OpenBySerial(const char* serial, FtHandleValue& handle) override;
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
    // One bulk IN transfer of read-back, as a driver without read-ahead makes it
    // (libftdi1): whatever has reached the host, or else the next packet, or,
    // when none comes before the latency timer runs out, nothing.
    FtStatus BulkIn(FtHandleValue h, uint8_t* data, uint32_t size, uint32_t& got);
    // One bulk OUT transfer as libftdi1's ftdi_write_data makes it: it ends
    // when the chip has taken every byte into its transmit buffer, or at the
    // write time-out (kIoError, written = what it took).
    FtStatus BulkOut(FtHandleValue h, const uint8_t* data, uint32_t size, uint32_t& written);
    // A bulk OUT and a bulk IN of `want` bytes under way together, as
    // libftdi1's asynchronous transfers run them: ends when both are done, or
    // at the time-outs (kIoError).
    FtStatus BulkOutIn(FtHandleValue h, const uint8_t* out, uint32_t size, uint32_t& written, uint8_t* in,
                       uint32_t want, uint32_t& got);

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
    const std::string& Serial() const { return opt_.serial; }

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
    // Whether the host's driver keeps a read waiting all the time (D2XX) or
    // reads only when called (libftdi1).
    void SetReadAhead(bool on) { reader_ = on ? Reader::Driver : Reader::None; readAhead_ = on; }
    void SetFault(FtdiFault fault) { opt_.fault = fault; }
    // The host's queue-status calls may change speed after it measured them
    // (another load on the machine, a driver call served locally).
    void SetPollCost(Nanos cost) { opt_.pollCost = cost; }
    void SetReadBackLatency(Nanos latency) { opt_.readBackLatency = latency; }
    void SetDeliveryFault(Nanos jitter, Nanos hostLate) {
        opt_.deliveryJitter = jitter;
        opt_.hostLate = hostLate;
    }

private:
    // Who has a bulk read of the read-back waiting on the chip.
    enum class Reader { Driver, Call, Async, None };
    [[nodiscard]] bool Present() const;
    [[nodiscard]] FtStatus CheckHandle(FtHandleValue h) const;
    void CountTransfer();
    // A write begins: the host's delay before it, the counts; how many of count bytes the device takes.
    uint32_t StartWrite(uint32_t count);
    // How long this write takes to reach the pins, varying from one write to the next.
    Nanos DeliveryDelay();
    // Queues a write from the host, its bytes on their way from `ready` (ps) on.
    void Queue(const uint8_t* data, uint32_t count, uint64_t ready);
    // Runs the chip until `done` holds, or until nothing more happens by limit
    // (ps); a call that waits (with `done`) moves the clock with what it waits
    // for. True when `done` held.
    bool RunUntil(uint64_t limit, const std::function<bool()>& done);
    // The next thing the chip does, and when (ps); false when nothing is due.
    bool NextEvent(uint64_t inLimit, uint64_t& when, int& what) const;
    void Clock(uint64_t t);
    void SendPacket(uint64_t t, bool timer);
    uint64_t NowPs() const;
    uint32_t TakeHost(uint8_t* data, uint32_t count);

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
    uint64_t nextClock_ = 0; // the earliest the next sample may be clocked
    uint64_t lastOut_ = 0;   // when the last packet from the host was taken
    uint64_t lastIn_ = 0;    // when the last packet went to the host
    // Bytes the host wrote, with when each may reach the chip.
    std::deque<std::pair<uint64_t, uint8_t>> out_;
    std::deque<uint8_t> tx_;                        // the chip's transmit buffer
    std::deque<std::pair<uint64_t, uint8_t>> rx_;   // its receive buffer, each byte with when it was clocked
    std::deque<uint8_t> host_;                      // read-back the host's side holds
    Reader reader_ = Reader::Driver;  // who has a bulk read waiting (D2XX: always its driver)
    bool readAhead_ = true;
    uint64_t readFrom_ = 0;           // when the waiting read began (the driver's: always)
    bool shortPacket_ = false;        // the waiting read call got a packet that was not full
    uint64_t transfers_ = 0;
    uint32_t jitterState_ = 1;
    uint64_t writes_ = 0, reads_ = 0, polls_ = 0, samples_ = 0, opens_ = 0, roundTrips_ = 0;
};

} // namespace mrk::sim
