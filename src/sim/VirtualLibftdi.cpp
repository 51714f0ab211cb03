#include "sim/VirtualLibftdi.h"

#include <cstring>

namespace mrk::sim {

namespace {
// libftdi1's codes: the device is gone / a USB call failed.
constexpr int kUsbFailed = -1;
constexpr int kNoDevice = -3;
constexpr uint8_t kModeReset = 0x00;
} // namespace

int VirtualLibftdi::Fail(int code, const char* what) {
    error_ = what;
    return code;
}

int VirtualLibftdi::FindAll() {
    found_.clear();
    for (VirtualFtdi* c : chips_) {
        uint32_t n = 0;
        if (c->ListCount(n) == ftstatus::kOk && n > 0) found_.push_back(c);
    }
    return static_cast<int>(found_.size());
}

int VirtualLibftdi::String(int index, char* buf, int len, bool serial) {
    if (index < 0 || index >= static_cast<int>(found_.size())) return Fail(kNoDevice, "device not found");
    char shown[kFtDescriptionSize];
    VirtualFtdi& chip = *found_[static_cast<size_t>(index)];
    if ((serial ? chip.ListSerial(0, shown) : chip.ListDescription(0, shown)) != ftstatus::kOk)
        return Fail(serial ? -9 : -7, "libusb_get_string_descriptor_ascii() failed");
    std::strncpy(buf, shown, static_cast<size_t>(len));
    if (len > 0) buf[len - 1] = '\0';
    return 0;
}

int VirtualLibftdi::GetDescription(int index, char* buf, int len) { return String(index, buf, len, false); }

int VirtualLibftdi::GetSerial(int index, char* buf, int len) { return String(index, buf, len, true); }

int VirtualLibftdi::OpenDev(int index) {
    if (index < 0 || index >= static_cast<int>(found_.size())) return Fail(kNoDevice, "device not found");
    char shown[kFtDescriptionSize];
    VirtualFtdi& chip = *found_[static_cast<size_t>(index)];
    if (chip.ListSerial(0, shown) != ftstatus::kOk || chip.OpenBySerial(shown, handle_) != ftstatus::kOk)
        return Fail(-4, "libusb_open() failed");
    chip_ = &chip;
    chip_->SetReadAhead(false);
    bitBang_ = false;
    return 0;
}

int VirtualLibftdi::Close() {
    handle_ = nullptr;
    return 0;
}

int VirtualLibftdi::SetBitmode(uint8_t mask, uint8_t mode) {
    if (chip_->SetBitMode(handle_, mask, mode) != ftstatus::kOk)
        return Fail(-2, "unable to configure bitbang mode. Perhaps not a BM/2232C type chip?");
    bitBang_ = mode != kModeReset;
    return 0;
}

int VirtualLibftdi::SetLatencyTimer(uint8_t ms) {
    if (chip_->SetLatencyTimer(handle_, ms) != ftstatus::kOk) return Fail(-2, "unable to set latency timer");
    return 0;
}

int VirtualLibftdi::SetBaudrate(int baud) {
    if (baud <= 0) return Fail(-1, "Silly baudrate <= 0.");
    const uint32_t onChip = static_cast<uint32_t>(bitBang_ ? baud * 4 : baud);
    const FtStatus st = chip_->SetBaudRate(handle_, onChip);
    if (st == ftstatus::kInvalidBaudRate) return Fail(-1, "Silly baudrate <= 0.");
    if (st != ftstatus::kOk) return Fail(-2, "Setting new baudrate failed");
    return 0;
}

void VirtualLibftdi::SetTimeouts(int readMs, int writeMs) {
    // The bench's chip keeps the time-outs the host gives.
    if (handle_) chip_->SetTimeouts(handle_, static_cast<uint32_t>(readMs), static_cast<uint32_t>(writeMs));
}

int VirtualLibftdi::FlushRx() {
    if (chip_->Purge(handle_, kFtPurgeRx) != ftstatus::kOk) return Fail(-1, "FTDI purge of RX buffer failed");
    return 0;
}

int VirtualLibftdi::WriteData(const uint8_t* data, int size) {
    uint32_t written = 0;
    if (chip_->BulkOut(handle_, data, static_cast<uint32_t>(size), written) != ftstatus::kOk)
        return Fail(kUsbFailed, "usb bulk write failed");
    return static_cast<int>(written);
}

int VirtualLibftdi::ReadData(uint8_t* data, int size) {
    uint32_t got = 0;
    if (chip_->BulkIn(handle_, data, static_cast<uint32_t>(size), got) != ftstatus::kOk)
        return Fail(kUsbFailed, "usb bulk read failed");
    return static_cast<int>(got);
}

int VirtualLibftdi::WriteReadData(const uint8_t* out, int size, int& written, uint8_t* in, int want) {
    uint32_t took = 0, got = 0;
    const FtStatus st = chip_->BulkOutIn(handle_, out, static_cast<uint32_t>(size), took, in,
                                        static_cast<uint32_t>(want), got);
    written = static_cast<int>(took);
    if (st != ftstatus::kOk) return Fail(kUsbFailed, "usb bulk transfer failed");
    return static_cast<int>(got);
}

int VirtualLibftdi::PollStatus() {
    uint32_t unused = 0;
    if (chip_->GetQueueStatus(handle_, unused) != ftstatus::kOk) return Fail(-2, "USB read failed");
    return 0;
}

} // namespace mrk::sim
