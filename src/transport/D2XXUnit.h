#pragma once
// Thin wrapper around the FTDI D2XX calls: one call each, and every failing
// call is shown to the user in an error box (caption + status text).
#include <cstdint>
#include <memory>
#include <string>

#include "transport/FtDevice.h"

namespace mrk {

struct Context;

[[nodiscard]] FtStatus GetFTDeviceCount(Context& ctx);
[[nodiscard]] FtStatus GetFTDeviceDescription(Context& ctx, uint32_t index);
// The index-th device's serial number into FtDevSerial (empty when it cannot be
// read); only a record of which programmer it was, so a failure is not shown.
void GetFTDeviceSerial(Context& ctx, uint32_t index);
[[nodiscard]] FtStatus Open_USB_Device_By_Device_Description(Context& ctx, const std::string& desc);
// Reads count bytes into FtInBuff; returns how many arrived.
uint32_t UsbRead(Context& ctx, uint32_t count);
// Writes count bytes from the start of FtOutBuff; returns how many were taken.
uint32_t UsbWrite(Context& ctx, uint32_t count);
[[nodiscard]] FtStatus UsbSetBaudRate(Context& ctx);
[[nodiscard]] FtStatus UsbPurgeRx(Context& ctx);
[[nodiscard]] FtStatus UsbSetTimeouts(Context& ctx, uint32_t readMs, uint32_t writeMs);
[[nodiscard]] FtStatus UsbQueueStatus(Context& ctx);
[[nodiscard]] FtStatus UsbSetLatency(Context& ctx, uint8_t ms);
[[nodiscard]] FtStatus UsbSetBitMode(Context& ctx, uint8_t mask, uint8_t mode);
// FT_Close: lets go of a device whose open could not be completed.
[[nodiscard]] FtStatus UsbClose(Context& ctx);
void UsbErrorReport(Context& ctx, const std::string& caption, FtStatus status);

// The text appended to a caption for a D2XX status (empty for FT_OK).
std::string FtStatusText(FtStatus status);

// The sample rate the programmer's baud rate is set to.
constexpr uint32_t kSurtanBaudRate = 153600;

// Puts a driver in place (real hardware, the bench, tests).
void UseFtDevice(Context& ctx, std::unique_ptr<FtDevice> device);
// Why the USB programmer could not be reached, as the driver explains it; empty if all is well.
std::string UsbProblem(const Context& ctx);

} // namespace mrk
