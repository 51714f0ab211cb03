#include "transport/D2XXUnit.h"

#include <algorithm>
#include <cstring>

#include "core/Host.h"
#include "core/Format.h"

namespace mrk {

namespace {

constexpr size_t kNameBufferSize = 50;

// Every wrapper ends here: a failure is shown (once per kind until a call
// succeeds again), a success clears the memory of what was shown.
FtStatus Check(D2xxVars& d2xx, Host& host, const char* caption, FtStatus status) {
    d2xx.lastStatus = status;
    if (status == ftstatus::kOk) d2xx.shownErrors.clear();
    else UsbErrorReport(d2xx, host, caption, status);
    return status;
}

// One call on the open device (none installed: an invalid handle), then the check.
template <typename F>
FtStatus Call(D2xxVars& d2xx, Host& host, const char* caption, F&& call) {
    auto& d = d2xx;
    return Check(d2xx, host, caption, d.device ? call(*d.device, d) : ftstatus::kInvalidHandle);
}

} // namespace

std::string FtStatusText(FtStatus status) {
    static const char* const kTexts[] = {
        "",
        " - Invalid handle...",
        " - Device not found...",
        " - Device not opened...",
        " - General IO error...",
        " - Insufficient resources...",
        " - Invalid parameter...",
        " - Invalid baud rate...",
        " Device not opened for erase...",
        " Device not opened for write...",
        " - Failed to write...",
        " - EEPROM read failed...",
        " - EEPROM write failed...",
        " - EEPROM erase failed...",
        " - EEPROM not present...",
        " - EEPROM not programmed...",
        " - Invalid arguments...",
        " - Other error ...",
    };
    if (status < sizeof(kTexts) / sizeof(kTexts[0])) return kTexts[status];
    return Format(" - status %u...", status);
}

void UsbErrorReport(D2xxVars& d2xx, Host& host, const std::string& caption, FtStatus status) {
    if (status == ftstatus::kOk) return;
    const std::string text = caption + FtStatusText(status);
    if (!d2xx.shownErrors.insert(text).second) return;
    host.MessageBox(text, "", MsgKind::Error, MsgButtons::Ok);
}

FtStatus GetFTDeviceCount(D2xxVars& d2xx, Host& host) {
    auto& d = d2xx;
    // No driver at all: as a machine with no FTDI device attached.
    if (!d.device) {
        d.FtDevCount = 0;
        return ftstatus::kOk;
    }
    return Check(d2xx, host, "GetFTDeviceCount", d.device->ListCount(d.FtDevCount));
}

FtStatus GetFTDeviceDescription(D2xxVars& d2xx, Host& host, uint32_t index) {
    auto& d = d2xx;
    if (!d.device) return Check(d2xx, host, "GetFTDeviceDescription", ftstatus::kDeviceNotFound);
    char buffer[kFtDescriptionSize + 1] = {};
    const FtStatus st = d.device->ListDescription(index, buffer);
    // The text ends at the first NUL, and never runs past the buffer.
    if (st == ftstatus::kOk) d.FtDevDescr.assign(buffer, strnlen(buffer, kFtDescriptionSize));
    return Check(d2xx, host, "GetFTDeviceDescription", st);
}

void GetFTDeviceSerial(D2xxVars& d2xx, uint32_t index) {
    auto& d = d2xx;
    d.FtDevSerial.clear();
    char buffer[kFtDescriptionSize + 1] = {};
    if (d.device && d.device->ListSerial(index, buffer) == ftstatus::kOk)
        d.FtDevSerial.assign(buffer, strnlen(buffer, kFtDescriptionSize));
}

FtStatus Open_USB_Device_By_Device_Description(D2xxVars& d2xx, Host& host, const std::string& desc) {
    auto& d = d2xx;
    char name[kNameBufferSize] = {};
    std::memcpy(name, desc.data(), std::min(desc.size(), kNameBufferSize - 1));
    if (!d.device) return Check(d2xx, host, "Open_USB_Device_By_Device_Description", ftstatus::kDeviceNotFound);
    return Check(d2xx, host, "Open_USB_Device_By_Device_Description", d.device->OpenByDescription(name, d.FtHandle));
}

uint32_t UsbRead(D2xxVars& d2xx, Host& host, uint32_t count) {
    auto& d = d2xx;
    count = std::min<uint32_t>(count, kFtBufferSize);
    uint32_t got = 0;
    ++d.counters.reads;
    const FtStatus st = d.device ? d.device->Read(d.FtHandle, d.FtInBuff.data(), count, got)
                                 : ftstatus::kInvalidHandle;
    got = std::min(got, count);
    d.counters.bytesRead += got;
    Check(d2xx, host, "FT_Read", st);
    return got;
}

uint32_t UsbWrite(D2xxVars& d2xx, Host& host, uint32_t count) {
    auto& d = d2xx;
    count = std::min<uint32_t>(count, kFtBufferSize);
    uint32_t put = 0;
    ++d.counters.writes;
    const FtStatus st = d.device ? d.device->Write(d.FtHandle, d.FtOutBuff.data(), count, put)
                                 : ftstatus::kInvalidHandle;
    put = std::min(put, count);
    d.counters.bytesWritten += put;
    Check(d2xx, host, "FT_Write", st);
    return put;
}

FtStatus UsbSetBaudRate(D2xxVars& d2xx, Host& host) {
    return Call(d2xx, host, "FT_SetBaudRate",
                [](FtDevice& dev, D2xxVars& d) { return dev.SetBaudRate(d.FtHandle, kSurtanBaudRate); });
}

FtStatus UsbPurgeRx(D2xxVars& d2xx, Host& host) {
    ++d2xx.counters.purges;
    return Call(d2xx, host, "FT_Purge RX", [](FtDevice& dev, D2xxVars& d) { return dev.Purge(d.FtHandle, kFtPurgeRx); });
}

FtStatus UsbSetTimeouts(D2xxVars& d2xx, Host& host, uint32_t readMs, uint32_t writeMs) {
    return Call(d2xx, host, "FT_SetTimeouts",
                [&](FtDevice& dev, D2xxVars& d) { return dev.SetTimeouts(d.FtHandle, readMs, writeMs); });
}

FtStatus UsbQueueStatus(D2xxVars& d2xx, Host& host) {
    ++d2xx.counters.queuePolls;
    return Call(d2xx, host, "FT_GetQueueStatus",
                [](FtDevice& dev, D2xxVars& d) { return dev.GetQueueStatus(d.FtHandle, d.FT_Q_Bytes); });
}

FtStatus UsbSetLatency(D2xxVars& d2xx, Host& host, uint8_t ms) {
    return Call(d2xx, host, "FT_SetLatencyTimer ", [&](FtDevice& dev, D2xxVars& d) { return dev.SetLatencyTimer(d.FtHandle, ms); });
}

FtStatus UsbSetBitMode(D2xxVars& d2xx, Host& host, uint8_t mask, uint8_t mode) {
    return Call(d2xx, host, "FT_SetBitMode ",
                [&](FtDevice& dev, D2xxVars& d) { return dev.SetBitMode(d.FtHandle, mask, mode); });
}

FtStatus UsbClose(D2xxVars& d2xx, Host& host) {
    return Call(d2xx, host, "FT_Close", [](FtDevice& dev, D2xxVars& d) { return dev.Close(d.FtHandle); });
}

} // namespace mrk
