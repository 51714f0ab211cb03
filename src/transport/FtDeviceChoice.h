#pragma once
// Which driver serves the USB programmer on real hardware.
#include <functional>
#include <memory>
#include <string>

#include "transport/FtDevice.h"
#include "transport/LibftdiCalls.h"
#include "transport/SurtanChoice.h"

namespace mrk {

class Surtan;

// libftdi1 first; when it finds no FTDI device, the vendor's D2XX library
// (made on first need, if it is installed) gets its turn.
class FallbackFtDevice : public FtDevice, public FtSerialOpen {
public:
    FallbackFtDevice(std::unique_ptr<FtDevice> primary, std::function<std::unique_ptr<FtDevice>()> makeSecondary);

    [[nodiscard]] FtStatus ListCount(uint32_t& count) override;
    [[nodiscard]] FtStatus ListDescription(uint32_t index, char* buffer) override { return active_->ListDescription(index, buffer); }
    [[nodiscard]] FtStatus ListSerial(uint32_t index, char* buffer) override { return active_->ListSerial(index, buffer); }
    [[nodiscard]] FtStatus OpenByDescription(const char* d, FtHandleValue& h) override { return active_->OpenByDescription(d, h); }
    [[nodiscard]] FtStatus OpenBySerial(const char* s, FtHandleValue& h) override { return mrk::OpenBySerial(*active_, s, h); }
    [[nodiscard]] FtStatus SetBitMode(FtHandleValue h, uint8_t m, uint8_t mode) override { return active_->SetBitMode(h, m, mode); }
    [[nodiscard]] FtStatus SetLatencyTimer(FtHandleValue h, uint8_t ms) override { return active_->SetLatencyTimer(h, ms); }
    [[nodiscard]] FtStatus SetTimeouts(FtHandleValue h, uint32_t r, uint32_t w) override { return active_->SetTimeouts(h, r, w); }
    [[nodiscard]] FtStatus SetBaudRate(FtHandleValue h, uint32_t b) override { return active_->SetBaudRate(h, b); }
    [[nodiscard]] FtStatus Purge(FtHandleValue h, uint32_t m) override { return active_->Purge(h, m); }
    [[nodiscard]] FtStatus GetQueueStatus(FtHandleValue h, uint32_t& n) override { return active_->GetQueueStatus(h, n); }
    [[nodiscard]] FtStatus Write(FtHandleValue h, const uint8_t* d, uint32_t n, uint32_t& w) override { return active_->Write(h, d, n, w); }
    [[nodiscard]] FtStatus Read(FtHandleValue h, uint8_t* d, uint32_t n, uint32_t& r) override { return active_->Read(h, d, n, r); }
    std::string Name() const override { return active_->Name(); }
    std::string Problem() const override { return active_->Problem(); }

private:
    std::unique_ptr<FtDevice> primary_;
    std::unique_ptr<FtDevice> secondary_;
    std::function<std::unique_ptr<FtDevice>()> makeSecondary_;
    bool secondaryTried_ = false;
    FtDevice* active_;
};

// The vendor's library as a driver, or a driver that finds nothing and says why.
std::unique_ptr<FtDevice> MakeD2xxDevice(const std::string& path);
// The libftdi1 driver on the real library.
std::unique_ptr<FtDevice> MakeLibftdiDevice();
// The same driver on other libftdi1 calls (the virtual bench's); nowMs: the
// millisecond clock of its time-outs.
std::unique_ptr<FtDevice> MakeLibftdiDevice(std::unique_ptr<LibftdiCalls> calls, std::function<uint64_t()> nowMs);

// Puts the driver for real devices in place: "libftdi" (libftdi1, then the
// vendor's library when libftdi1 finds no device) or "d2xx" (the vendor's only).
void InstallUsbDriver(Surtan& surtan, const std::string& which);

} // namespace mrk
