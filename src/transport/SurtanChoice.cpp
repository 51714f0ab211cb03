#include "transport/SurtanChoice.h"

#include <cstring>

#include "transport/D2XXUnit.h"
#include "transport/Surtan.h"

namespace mrk {

namespace {

std::string Text(const char* buffer) { return std::string(buffer, strnlen(buffer, kFtDescriptionSize)); }

// The driver as the programmer search sees it with a Surtan chosen: the list
// holds the devices of that serial number only, and the open by description
// opens the chosen one by its serial number.
class ChosenSurtanDevice : public FtDevice {
public:
    ChosenSurtanDevice(std::unique_ptr<FtDevice> inner, std::string serial)
        : inner_(std::move(inner)), serial_(std::move(serial)) {}

    FtDevice& Inner() { return *inner_; }
    std::unique_ptr<FtDevice> Release() { return std::move(inner_); }
    const std::string& Serial() const { return serial_; }

    [[nodiscard]] FtStatus ListCount(uint32_t& count) override {
        uint32_t all = 0;
        const FtStatus st = inner_->ListCount(all);
        if (st != ftstatus::kOk) return st;
        shown_.clear();
        for (uint32_t i = 0; i < all; ++i) {
            char buffer[kFtDescriptionSize + 1] = {};
            if (inner_->ListSerial(i, buffer) == ftstatus::kOk && Text(buffer) == serial_) shown_.push_back(i);
        }
        count = static_cast<uint32_t>(shown_.size());
        return ftstatus::kOk;
    }
    [[nodiscard]] FtStatus ListDescription(uint32_t index, char* buffer) override {
        return index < shown_.size() ? inner_->ListDescription(shown_[index], buffer) : ftstatus::kDeviceNotFound;
    }
    [[nodiscard]] FtStatus ListSerial(uint32_t index, char* buffer) override {
        return index < shown_.size() ? inner_->ListSerial(shown_[index], buffer) : ftstatus::kDeviceNotFound;
    }
    // Several Surtans share one description: the chosen one is opened by its number.
    [[nodiscard]] FtStatus OpenByDescription(const char*, FtHandleValue& handle) override {
        return OpenBySerial(*inner_, serial_.c_str(), handle);
    }
    [[nodiscard]] FtStatus SetBitMode(FtHandleValue h, uint8_t m, uint8_t mode) override { return inner_->SetBitMode(h, m, mode); }
    [[nodiscard]] FtStatus SetLatencyTimer(FtHandleValue h, uint8_t ms) override { return inner_->SetLatencyTimer(h, ms); }
    [[nodiscard]] FtStatus SetTimeouts(FtHandleValue h, uint32_t r, uint32_t w) override { return inner_->SetTimeouts(h, r, w); }
    [[nodiscard]] FtStatus SetBaudRate(FtHandleValue h, uint32_t b) override { return inner_->SetBaudRate(h, b); }
    [[nodiscard]] FtStatus Purge(FtHandleValue h, uint32_t m) override { return inner_->Purge(h, m); }
    [[nodiscard]] FtStatus GetQueueStatus(FtHandleValue h, uint32_t& n) override { return inner_->GetQueueStatus(h, n); }
    [[nodiscard]] FtStatus Write(FtHandleValue h, const uint8_t* d, uint32_t n, uint32_t& w) override { return inner_->Write(h, d, n, w); }
    [[nodiscard]] FtStatus Read(FtHandleValue h, uint8_t* d, uint32_t n, uint32_t& r) override { return inner_->Read(h, d, n, r); }
    [[nodiscard]] FtStatus Close(FtHandleValue h) override { return inner_->Close(h); }
    std::string Name() const override { return inner_->Name(); }
    std::string Problem() const override { return inner_->Problem(); }

private:
    std::unique_ptr<FtDevice> inner_;
    std::string serial_;
    std::vector<uint32_t> shown_; // the inner list's indexes of the chosen serial number
};

} // namespace

FtStatus OpenBySerial(FtDevice& device, const char* serial, FtHandleValue& handle) {
    auto* bySerial = dynamic_cast<FtSerialOpen*>(&device);
    return bySerial ? bySerial->OpenBySerial(serial, handle) : ftstatus::kDeviceNotFound;
}

void ChooseSurtan(Surtan& surtan, const std::string& serial) {
    auto& device = surtan.d2xx.device;
    if (serial.empty() || !device) return;
    // Chosen again: the new number replaces the old one.
    if (auto* chosen = dynamic_cast<ChosenSurtanDevice*>(device.get())) device = chosen->Release();
    device = std::make_unique<ChosenSurtanDevice>(std::move(device), serial);
}

std::string ChosenSurtan(const Surtan& surtan) {
    const auto* chosen = dynamic_cast<const ChosenSurtanDevice*>(surtan.d2xx.device.get());
    return chosen ? chosen->Serial() : std::string();
}

std::vector<FtdiListing> ListFtdiDevices(Surtan& surtan, std::string& error) {
    std::vector<FtdiListing> out;
    error.clear();
    FtDevice* dev = surtan.d2xx.device.get();
    if (auto* chosen = dynamic_cast<ChosenSurtanDevice*>(dev)) dev = &chosen->Inner();
    if (!dev) {
        error = "драйвер USB не загружен";
        return out;
    }
    uint32_t count = 0;
    if (dev->ListCount(count) != ftstatus::kOk) {
        error = dev->Problem().empty() ? "устройства USB не перечисляются" : dev->Problem();
        return out;
    }
    for (uint32_t i = 0; i < count; ++i) {
        FtdiListing l;
        char buffer[kFtDescriptionSize + 1] = {};
        if (dev->ListDescription(i, buffer) == ftstatus::kOk) l.description = Text(buffer);
        else l.problem = dev->Problem().empty() ? "описание устройства не читается" : dev->Problem();
        std::memset(buffer, 0, sizeof buffer);
        if (dev->ListSerial(i, buffer) == ftstatus::kOk) l.serial = Text(buffer);
        out.push_back(std::move(l));
    }
    return out;
}

} // namespace mrk
