#pragma once
// Lends a device owned elsewhere (by the bench, by a test) to a context.
#include "transport/FtDevice.h"
#include "transport/SurtanChoice.h"

namespace mrk {

class FtDeviceRef : public FtDevice, public FtSerialOpen {
public:
    explicit FtDeviceRef(FtDevice& target) : t_(target) {}
    [[nodiscard]] FtStatus ListCount(uint32_t& c) override { return t_.ListCount(c); }
    [[nodiscard]] FtStatus ListDescription(uint32_t i, char* b) override { return t_.ListDescription(i, b); }
    [[nodiscard]] FtStatus ListSerial(uint32_t i, char* b) override { return t_.ListSerial(i, b); }
    [[nodiscard]] FtStatus OpenByDescription(const char* d, FtHandleValue& h) override { return t_.OpenByDescription(d, h); }
    [[nodiscard]] FtStatus OpenBySerial(const char* s, FtHandleValue& h) override { return mrk::OpenBySerial(t_, s, h); }
    [[nodiscard]] FtStatus SetBitMode(FtHandleValue h, uint8_t m, uint8_t mode) override { return t_.SetBitMode(h, m, mode); }
    [[nodiscard]] FtStatus SetLatencyTimer(FtHandleValue h, uint8_t ms) override { return t_.SetLatencyTimer(h, ms); }
    [[nodiscard]] FtStatus SetTimeouts(FtHandleValue h, uint32_t r, uint32_t w) override { return t_.SetTimeouts(h, r, w); }
    [[nodiscard]] FtStatus SetBaudRate(FtHandleValue h, uint32_t b) override { return t_.SetBaudRate(h, b); }
    [[nodiscard]] FtStatus Purge(FtHandleValue h, uint32_t m) override { return t_.Purge(h, m); }
    [[nodiscard]] FtStatus GetQueueStatus(FtHandleValue h, uint32_t& n) override { return t_.GetQueueStatus(h, n); }
    [[nodiscard]] FtStatus Write(FtHandleValue h, const uint8_t* d, uint32_t n, uint32_t& w) override { return t_.Write(h, d, n, w); }
    [[nodiscard]] FtStatus Read(FtHandleValue h, uint8_t* d, uint32_t n, uint32_t& r) override { return t_.Read(h, d, n, r); }
    [[nodiscard]] FtStatus Close(FtHandleValue h) override { return t_.Close(h); }
    std::string Name() const override { return t_.Name(); }
    std::string Problem() const override { return t_.Problem(); }

private:
    FtDevice& t_;
};

} // namespace mrk
