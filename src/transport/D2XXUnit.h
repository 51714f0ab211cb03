#pragma once
// Thin wrapper around the FTDI D2XX calls: one call each, and every failing
// call is shown to the user in an error box (caption + status text).
#include <cstdint>
#include <memory>
#include <string>

#include "core/Host.h"
#include "transport/D2xxVars.h"
#include "transport/FtDevice.h"

namespace mrk {

[[nodiscard]] FtStatus GetFTDeviceCount(D2xxVars& d2xx, Host& host);
[[nodiscard]] FtStatus GetFTDeviceDescription(D2xxVars& d2xx, Host& host, uint32_t index);
// The index-th device's serial number into FtDevSerial (empty when it cannot be
// read); only a record of which programmer it was, so a failure is not shown.
void GetFTDeviceSerial(D2xxVars& d2xx, uint32_t index);
[[nodiscard]] FtStatus Open_USB_Device_By_Device_Description(D2xxVars& d2xx, Host& host, const std::string& desc);
// Reads count bytes into FtInBuff; returns how many arrived.
uint32_t UsbRead(D2xxVars& d2xx, Host& host, uint32_t count);
// Writes count bytes from the start of FtOutBuff; returns how many were taken.
uint32_t UsbWrite(D2xxVars& d2xx, Host& host, uint32_t count);
[[nodiscard]] FtStatus UsbSetBaudRate(D2xxVars& d2xx, Host& host);
[[nodiscard]] FtStatus UsbPurgeRx(D2xxVars& d2xx, Host& host);
[[nodiscard]] FtStatus UsbSetTimeouts(D2xxVars& d2xx, Host& host, uint32_t readMs, uint32_t writeMs);
[[nodiscard]] FtStatus UsbQueueStatus(D2xxVars& d2xx, Host& host);
[[nodiscard]] FtStatus UsbSetLatency(D2xxVars& d2xx, Host& host, uint8_t ms);
[[nodiscard]] FtStatus UsbSetBitMode(D2xxVars& d2xx, Host& host, uint8_t mask, uint8_t mode);
// FT_Close: lets go of a device whose open could not be completed.
[[nodiscard]] FtStatus UsbClose(D2xxVars& d2xx, Host& host);
void UsbErrorReport(D2xxVars& d2xx, Host& host, const std::string& caption, FtStatus status);

// The text appended to a caption for a D2XX status (empty for FT_OK).
std::string FtStatusText(FtStatus status);

// The sample rate the programmer's baud rate is set to.
constexpr uint32_t kSurtanBaudRate = 153600;


} // namespace mrk
