#pragma once
// The FTDI calls served by libftdi1, the driver for real devices on Linux.
// libftdi has no receive-queue count: whatever the chip has sent is read
// ahead into a FIFO, and the queue status is the FIFO's length. In bit-bang
// mode every write goes out with a read of its read-back under way, so the
// chip never stops clocking for want of room in its receive buffer and the
// write's read-back is all in the FIFO when the write returns.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "transport/FtDevice.h"
#include "transport/LibftdiCalls.h"
#include "transport/SurtanChoice.h"

namespace mrk {

class LibftdiDevice : public FtDevice, public FtSerialOpen {
public:
    // nowMs: a millisecond clock for the read and write time-outs.
    explicit LibftdiDevice(std::unique_ptr<LibftdiCalls> calls, std::function<uint64_t()> nowMs = {});
    ~LibftdiDevice() override;

    [[nodiscard]] FtStatus ListCount(uint32_t& count) override;
    [[nodiscard]] FtStatus ListDescription(uint32_t index, char* buffer) override;
    [[nodiscard]] FtStatus ListSerial(uint32_t index, char* buffer) override;
    [[nodiscard]] FtStatus OpenByDescription(const char* description, FtHandleValue& handle) override;
    [[nodiscard]] FtStatus OpenBySerial(const char* serial, FtHandleValue& handle) override;
    [[nodiscard]] FtStatus Close(FtHandleValue h) override;
    [[nodiscard]] FtStatus SetBitMode(FtHandleValue h, uint8_t mask, uint8_t mode) override;
    [[nodiscard]] FtStatus SetLatencyTimer(FtHandleValue h, uint8_t ms) override;
    [[nodiscard]] FtStatus SetTimeouts(FtHandleValue h, uint32_t readMs, uint32_t writeMs) override;
    [[nodiscard]] FtStatus SetBaudRate(FtHandleValue h, uint32_t baud) override;
    [[nodiscard]] FtStatus Purge(FtHandleValue h, uint32_t mask) override;
    [[nodiscard]] FtStatus GetQueueStatus(FtHandleValue h, uint32_t& rxBytes) override;
    [[nodiscard]] FtStatus Write(FtHandleValue h, const uint8_t* data, uint32_t count, uint32_t& written) override;
    [[nodiscard]] FtStatus Read(FtHandleValue h, uint8_t* data, uint32_t count, uint32_t& read) override;
    std::string Name() const override { return "libftdi1"; }
    std::string Problem() const override { return problem_; }


private:
    [[nodiscard]] FtStatus CheckHandle(FtHandleValue h) const;
    // Opens the first device whose description (or serial number) is `wanted`.
    [[nodiscard]] FtStatus OpenMatching(const char* wanted, bool bySerial, FtHandleValue& handle);
    [[nodiscard]] FtStatus Fail(FtStatus status, const std::string& what);
    // Reads whatever the chip has sent into the FIFO; false on a USB error.
    [[nodiscard]] bool Pull();

    std::unique_ptr<LibftdiCalls> calls_;
    std::function<uint64_t()> nowMs_;
    bool open_ = false;
    bool bitBang_ = false;
    uint32_t readTimeoutMs_ = 5000;
    uint32_t writeTimeoutMs_ = 5000;
    std::deque<uint8_t> fifo_;
    std::string problem_;
};

} // namespace mrk
