#include "transport/LibftdiDevice.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

namespace mrk {

namespace {

// libftdi's codes for ftdi_usb_get_strings / ftdi_usb_open_dev failing to open the USB device.
constexpr int kLibftdiOpenFailed = -4;
constexpr int kLibftdiClaimFailed = -5;
constexpr uint8_t kModeReset = 0x00;
constexpr size_t kPullSize = 4096;

const char* const kPermissionHint =
    "нет прав на USB-устройство FTDI. Установите правило udev программы mrkprog "
    "(udev/60-mrkprog-surtan.rules в /etc/udev/rules.d, затем 'sudo udevadm control --reload' "
    "и переподключите программатор) и проверьте, что вы в группе plugdev";
const char* const kKernelDriverHint =
    "устройство FTDI занято драйвером последовательного порта ядра (ftdi_sio), отключить его не удалось. "
    "Выгрузите его командой 'sudo rmmod ftdi_sio' или установите правило udev программы mrkprog "
    "(udev/60-mrkprog-surtan.rules), с которым mrkprog отключает его сам, и переподключите программатор";

uint64_t SteadyMs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace

LibftdiDevice::LibftdiDevice(std::unique_ptr<LibftdiCalls> calls, std::function<uint64_t()> nowMs)
    : calls_(std::move(calls)), nowMs_(nowMs ? std::move(nowMs) : SteadyMs) {
    if (!calls_) problem_ = "libftdi1 не запустилась (нет контекста USB)";
}

LibftdiDevice::~LibftdiDevice() {
    if (calls_ && open_) calls_->Close();
}

FtStatus LibftdiDevice::Fail(FtStatus status, const std::string& what) {
    problem_ = what;
    return status;
}

FtStatus LibftdiDevice::CheckHandle(FtHandleValue h) const {
    return (open_ && h == static_cast<const void*>(this)) ? ftstatus::kOk : ftstatus::kInvalidHandle;
}

FtStatus LibftdiDevice::ListCount(uint32_t& count) {
    if (!calls_) return ftstatus::kIoError;
    const int n = calls_->FindAll();
    if (n < 0) return Fail(ftstatus::kIoError, "не удалось перечислить устройства USB (libftdi1: " + calls_->ErrorString() + ")");
    count = static_cast<uint32_t>(n);
    return ftstatus::kOk;
}

FtStatus LibftdiDevice::ListDescription(uint32_t index, char* buffer) {
    if (!calls_) return ftstatus::kIoError;
    char desc[kFtDescriptionSize] = {};
    const int rc = calls_->GetDescription(static_cast<int>(index), desc, static_cast<int>(kFtDescriptionSize));
    if (rc == kLibftdiOpenFailed) return Fail(ftstatus::kDeviceNotOpened, kPermissionHint);
    if (rc < 0)
        return Fail(ftstatus::kIoError, "не удалось прочитать описание устройства FTDI (libftdi1: " +
                                            calls_->ErrorString() + ")");
    desc[kFtDescriptionSize - 1] = '\0';
    std::memcpy(buffer, desc, kFtDescriptionSize);
    return ftstatus::kOk;
}

FtStatus LibftdiDevice::ListSerial(uint32_t index, char* buffer) {
    if (!calls_) return ftstatus::kIoError;
    char serial[kFtDescriptionSize] = {};
    // Only for the record: a device whose strings cannot be read is said when it is opened.
    if (calls_->GetSerial(static_cast<int>(index), serial, static_cast<int>(kFtDescriptionSize)) < 0)
        return ftstatus::kIoError;
    serial[kFtDescriptionSize - 1] = '\0';
    std::memcpy(buffer, serial, kFtDescriptionSize);
    return ftstatus::kOk;
}

FtStatus LibftdiDevice::OpenByDescription(const char* description, FtHandleValue& handle) {
    return OpenMatching(description, false, handle);
}

FtStatus LibftdiDevice::OpenBySerial(const char* serial, FtHandleValue& handle) {
    return OpenMatching(serial, true, handle);
}

FtStatus LibftdiDevice::OpenMatching(const char* wanted, bool bySerial, FtHandleValue& handle) {
    if (!calls_) return ftstatus::kDeviceNotFound;
    if (open_) return ftstatus::kDeviceNotOpened;
    const int n = calls_->FindAll();
    if (n < 0) return Fail(ftstatus::kDeviceNotFound, "не удалось перечислить устройства USB (libftdi1: " + calls_->ErrorString() + ")");
    for (int i = 0; i < n; ++i) {
        char desc[kFtDescriptionSize] = {};
        const int len = static_cast<int>(kFtDescriptionSize);
        if ((bySerial ? calls_->GetSerial(i, desc, len) : calls_->GetDescription(i, desc, len)) < 0) continue;
        desc[kFtDescriptionSize - 1] = '\0';
        if (std::strcmp(desc, wanted) != 0) continue;
        const int rc = calls_->OpenDev(i);
        if (rc < 0) {
            const std::string why = calls_->ErrorString();
            if (rc == kLibftdiClaimFailed || why.find("claim") != std::string::npos)
                return Fail(ftstatus::kDeviceNotOpened, kKernelDriverHint);
            if (rc == kLibftdiOpenFailed || why.find("libusb_open") != std::string::npos)
                return Fail(ftstatus::kDeviceNotOpened, kPermissionHint);
            return Fail(ftstatus::kDeviceNotOpened, "не удалось открыть устройство FTDI (libftdi1: " + why + ")");
        }
        open_ = true;
        bitBang_ = false;
        fifo_.clear();
        calls_->SetTimeouts(static_cast<int>(readTimeoutMs_), static_cast<int>(writeTimeoutMs_));
        handle = this;
        problem_.clear();
        return ftstatus::kOk;
    }
    return ftstatus::kDeviceNotFound;
}

FtStatus LibftdiDevice::Close(FtHandleValue h) {
    if (auto st = CheckHandle(h)) return st;
    open_ = false;
    bitBang_ = false;
    fifo_.clear();
    return calls_->Close() < 0 ? ftstatus::kIoError : ftstatus::kOk;
}

FtStatus LibftdiDevice::SetBitMode(FtHandleValue h, uint8_t mask, uint8_t mode) {
    if (auto st = CheckHandle(h)) return st;
    if (calls_->SetBitmode(mask, mode) < 0)
        return Fail(ftstatus::kIoError, "не удалось установить битовый режим (libftdi1: " + calls_->ErrorString() + ")");
    bitBang_ = mode != kModeReset;
    return ftstatus::kOk;
}

FtStatus LibftdiDevice::SetLatencyTimer(FtHandleValue h, uint8_t ms) {
    if (auto st = CheckHandle(h)) return st;
    if (ms < 1) return ftstatus::kInvalidParameter;
    if (calls_->SetLatencyTimer(ms) < 0)
        return Fail(ftstatus::kIoError, "не удалось установить таймер задержки (libftdi1: " + calls_->ErrorString() + ")");
    return ftstatus::kOk;
}

FtStatus LibftdiDevice::SetTimeouts(FtHandleValue h, uint32_t readMs, uint32_t writeMs) {
    if (auto st = CheckHandle(h)) return st;
    readTimeoutMs_ = readMs;
    writeTimeoutMs_ = writeMs;
    calls_->SetTimeouts(static_cast<int>(std::min<uint32_t>(readMs, 0x7FFFFFFF)),
                        static_cast<int>(std::min<uint32_t>(writeMs, 0x7FFFFFFF)));
    return ftstatus::kOk;
}

FtStatus LibftdiDevice::SetBaudRate(FtHandleValue h, uint32_t baud) {
    if (auto st = CheckHandle(h)) return st;
    // In bit-bang mode libftdi programs the divisor for four times the rate it
    // is given; a quarter gives the chip the same divisor the vendor driver sets.
    const int asked = static_cast<int>(bitBang_ ? baud / 4 : baud);
    const int rc = calls_->SetBaudrate(asked);
    if (rc == -1) return ftstatus::kInvalidBaudRate;
    if (rc < 0) return Fail(ftstatus::kIoError, "не удалось установить скорость (libftdi1: " + calls_->ErrorString() + ")");
    return ftstatus::kOk;
}

FtStatus LibftdiDevice::Purge(FtHandleValue h, uint32_t mask) {
    if (auto st = CheckHandle(h)) return st;
    if (mask & kFtPurgeRx) {
        fifo_.clear();
        if (calls_->FlushRx() < 0)
            return Fail(ftstatus::kIoError, "не удалось очистить приёмный буфер (libftdi1: " + calls_->ErrorString() + ")");
    }
    return ftstatus::kOk;
}

bool LibftdiDevice::Pull() {
    uint8_t buf[kPullSize];
    const int n = calls_->ReadData(buf, static_cast<int>(kPullSize));
    if (n < 0) {
        problem_ = "не удалось прочитать данные устройства FTDI (libftdi1: " + calls_->ErrorString() + ")";
        return false;
    }
    fifo_.insert(fifo_.end(), buf, buf + n);
    return true;
}

FtStatus LibftdiDevice::GetQueueStatus(FtHandleValue h, uint32_t& rxBytes) {
    if (auto st = CheckHandle(h)) return st;
    // In bit-bang mode the writes have taken all the read-back there is; a
    // read would only wait out the latency timer. The chip must still answer.
    if (bitBang_) {
        if (calls_->PollStatus() < 0) {
            problem_ = "устройство FTDI не отвечает (libftdi1: " + calls_->ErrorString() + ")";
            return ftstatus::kIoError;
        }
    } else if (!Pull()) {
        return ftstatus::kIoError;
    }
    rxBytes = static_cast<uint32_t>(fifo_.size());
    return ftstatus::kOk;
}

FtStatus LibftdiDevice::Write(FtHandleValue h, const uint8_t* data, uint32_t count, uint32_t& written) {
    if (auto st = CheckHandle(h)) return st;
    written = 0;
    if (count == 0) return ftstatus::kOk;
    const char* const failed = "не удалось записать данные в устройство FTDI (libftdi1: ";
    if (!bitBang_) {
        const int rc = calls_->WriteData(data, static_cast<int>(count));
        if (rc < 0) return Fail(ftstatus::kIoError, failed + calls_->ErrorString() + ")");
        written = static_cast<uint32_t>(rc);
        return ftstatus::kOk;
    }
    // One read-back byte per sample, read while the samples go out; both
    // bounded by the time-outs set on the context.
    std::vector<uint8_t> back(count);
    int taken = 0;
    const int got = calls_->WriteReadData(data, static_cast<int>(count), taken, back.data(), static_cast<int>(count));
    written = static_cast<uint32_t>(std::max(taken, 0));
    if (got > 0) fifo_.insert(fifo_.end(), back.begin(), back.begin() + std::min(got, static_cast<int>(count)));
    if (got < 0 || taken < 0) return Fail(ftstatus::kIoError, failed + calls_->ErrorString() + ")");
    return ftstatus::kOk;
}

FtStatus LibftdiDevice::Read(FtHandleValue h, uint8_t* data, uint32_t count, uint32_t& read) {
    if (auto st = CheckHandle(h)) return st;
    const uint64_t start = nowMs_();
    while (fifo_.size() < count) {
        if (!Pull()) return ftstatus::kIoError;
        if (fifo_.size() >= count || nowMs_() - start > readTimeoutMs_) break;
    }
    read = static_cast<uint32_t>(std::min<size_t>(count, fifo_.size()));
    std::copy_n(fifo_.begin(), read, data);
    fifo_.erase(fifo_.begin(), fifo_.begin() + read);
    return ftstatus::kOk;
}

} // namespace mrk
