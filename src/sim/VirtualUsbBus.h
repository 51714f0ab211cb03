#pragma once
// The bench's USB bus with several Surtans on it: the driver lists every chip
// (each with its own serial number), opens one by its description (the first
// free one) or by its serial number, and passes each call on to the chip whose
// handle it carries.
#include <vector>

#include "sim/VirtualFtdi.h"

namespace mrk::sim {

class VirtualUsbBus : public FtDevice, public FtSerialOpen {
public:
    explicit VirtualUsbBus(std::vector<VirtualFtdi*> chips) : chips_(std::move(chips)) {}

    [[nodiscard]] FtStatus ListCount(uint32_t& count) override;
    [[nodiscard]] FtStatus ListDescription(uint32_t index, char* buffer) override;
    [[nodiscard]] FtStatus ListSerial(uint32_t index, char* buffer) override;
    [[nodiscard]] FtStatus OpenByDescription(const char* description, FtHandleValue& handle) override;
    [[nodiscard]] FtStatus OpenBySerial(const char* serial, FtHandleValue& handle) override;
    [[nodiscard]] FtStatus SetBitMode(FtHandleValue h, uint8_t m, uint8_t mode) override { return On(h, [&](VirtualFtdi& c) { return c.SetBitMode(h, m, mode); }); }
    [[nodiscard]] FtStatus SetLatencyTimer(FtHandleValue h, uint8_t ms) override { return On(h, [&](VirtualFtdi& c) { return c.SetLatencyTimer(h, ms); }); }
    [[nodiscard]] FtStatus SetTimeouts(FtHandleValue h, uint32_t r, uint32_t w) override { return On(h, [&](VirtualFtdi& c) { return c.SetTimeouts(h, r, w); }); }
    [[nodiscard]] FtStatus SetBaudRate(FtHandleValue h, uint32_t b) override { return On(h, [&](VirtualFtdi& c) { return c.SetBaudRate(h, b); }); }
    [[nodiscard]] FtStatus Purge(FtHandleValue h, uint32_t m) override { return On(h, [&](VirtualFtdi& c) { return c.Purge(h, m); }); }
    [[nodiscard]] FtStatus GetQueueStatus(FtHandleValue h, uint32_t& n) override { return On(h, [&](VirtualFtdi& c) { return c.GetQueueStatus(h, n); }); }
    [[nodiscard]] FtStatus Write(FtHandleValue h, const uint8_t* d, uint32_t n, uint32_t& w) override { return On(h, [&](VirtualFtdi& c) { return c.Write(h, d, n, w); }); }
    [[nodiscard]] FtStatus Read(FtHandleValue h, uint8_t* d, uint32_t n, uint32_t& r) override { return On(h, [&](VirtualFtdi& c) { return c.Read(h, d, n, r); }); }
    [[nodiscard]] FtStatus Close(FtHandleValue h) override { return On(h, [&](VirtualFtdi& c) { return c.Close(h); }); }
    std::string Name() const override { return "virtual FTDI"; }

private:
    // The chips present on the bus now, in the order the bus lists them.
    std::vector<VirtualFtdi*> Present() const;
    template <typename F>
    FtStatus On(FtHandleValue h, F&& call) {
        for (VirtualFtdi* c : chips_)
            if (h == static_cast<void*>(c)) return call(*c);
        return ftstatus::kInvalidHandle;
    }

    std::vector<VirtualFtdi*> chips_;
};

} // namespace mrk::sim
