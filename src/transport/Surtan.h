#pragma once
// The Surtan programmer on USB: an FTDI chip in synchronous bit-bang mode. The
// line operations become samples of its eight-pin image, queued and sent,
// clocked and read back in transfers. It owns the device, the wrapper's and
// the sample engine's state.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/Host.h"
#include "transport/D2xxVars.h"
#include "transport/FtFunkcVars.h"
#include "transport/Line.h"

namespace mrk {

constexpr uint32_t kFtDatReadSamples = 5;
// The most samples one transfer holds.
constexpr uint32_t kFtMaxSamples = 65535;
// Read-back bytes in one USB packet of the FTDI chip: a full one goes at once,
// any other at its latency timer.
constexpr uint32_t kFtReadBackPacket = 62;
// How fast the programmer clocks its samples.
uint32_t FtSamplesPerMs();

// A transfer's result: r read-back bytes in d2xx.FtInBuff, and whether it came
// back whole: every sample taken by the device and read back, every call
// answered. Only a whole read-back holds the chip's answer.
struct FtTransferResult {
    uint32_t r = 0;
    bool whole = false;
};

class Surtan : public Line, public SampleBatch {
public:
    // host: where the wrapper's error boxes and the engine's complaints go; the
    // clocks: milliseconds and microseconds on one clock (the bench's own on the
    // bench), looked up at each use.
    Surtan(Host& host, const std::function<uint32_t()>& tickMs, const std::function<uint64_t()>& tickUs)
        : host_(host), tickMs_(tickMs), tickUs_(tickUs) {}
    Surtan(const Surtan&) = delete;
    Surtan& operator=(const Surtan&) = delete;

    D2xxVars d2xx;   // FTDI wrapper and the device
    FtFunkcVars ft;  // sample engine

    // The line. A VPP change goes out at once; its read-back is taken by the next
    // delay or transfer, which fails if it did not come back whole. A delay sends
    // what is queued, takes its read-back, and from then on waits n div 100 ms:
    // the read-back proves the levels are on the pins, whatever the bus and the
    // host's load did to the write. Answered only when the read-back came back
    // whole and every poll of the wait answered. The rest only queue samples.
    [[nodiscard]] bool SetVpp(uint8_t on) override;
    void SetClk(uint8_t level) override;
    void SetDat(uint8_t level) override;
    [[nodiscard]] LineLevel GetDat() override; // PGD at the marked sample
    [[nodiscard]] bool ClkPulse() override;
    [[nodiscard]] bool Handshake() override;
    [[nodiscard]] bool Delay(uint16_t n) override;
    SampleBatch* Batch() override { return this; }

    // The batching part.
    [[nodiscard]] uint32_t RoomLeft() const override;
    [[nodiscard]] bool Flush() override { return Transfer().whole; }
    void QueueByteIn() override;
    [[nodiscard]] bool TakeBytes(uint8_t* out, size_t n) override;
    [[nodiscard]] std::optional<uint8_t> ReadByte() override;
    void QueueDatRead() override;
    [[nodiscard]] DatReads TakeDatReads() override;

    // One sample of the pin image as it stands; the marked one's read-back carries PGD.
    void PutSample();
    void SetMark(uint8_t level);
    // The enable pin held high once the programmer is open.
    void Enable();
    // Sends every queued sample and reads the read-back: afterwards bytes 0..r-1
    // of d2xx.FtInBuff hold one byte per sample, in order, each with the pins as
    // they were just before that sample took effect.
    [[nodiscard]] FtTransferResult Transfer();
    uint32_t Write() { return Transfer().r; }
    // Finds the programmer by its description, opens and configures it and
    // measures the queue-status poll rate; true at once when already open.
    [[nodiscard]] bool Open();

    // Puts a driver in place (real hardware, the bench, tests).
    void UseDevice(std::unique_ptr<FtDevice> device) { d2xx.device = std::move(device); }
    // Why the programmer could not be reached, as the driver explains it; empty if all is well.
    std::string Problem() const { return d2xx.device ? d2xx.device->Problem() : std::string(); }

    Host& host() { return host_; }
    uint32_t TickMs() const { return tickMs_(); }
    uint64_t TickUs() const { return tickUs_(); }

private:
    Host& host_;
    const std::function<uint32_t()>& tickMs_;
    const std::function<uint64_t()>& tickUs_;
};

} // namespace mrk
