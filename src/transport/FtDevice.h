#pragma once
// What the FTDI wrapper needs from a device driver: the D2XX calls it uses,
// with D2XX status codes. Implemented by libftdi1, by the vendor's D2XX
// library loaded at run time, and by the virtual FTDI device of the bench.
#include <cstdint>
#include <string>

namespace mrk {

using FtStatus = uint32_t;
using FtHandleValue = void*;

// D2XX status codes (FT_STATUS).
namespace ftstatus {
constexpr FtStatus kOk = 0;
constexpr FtStatus kInvalidHandle = 1;
constexpr FtStatus kDeviceNotFound = 2;
constexpr FtStatus kDeviceNotOpened = 3;
constexpr FtStatus kIoError = 4;
constexpr FtStatus kInsufficientResources = 5;
constexpr FtStatus kInvalidParameter = 6;
constexpr FtStatus kInvalidBaudRate = 7;
constexpr FtStatus kOtherError = 18;
} // namespace ftstatus

// D2XX flag and mode values the wrapper passes.
constexpr uint32_t kFtListNumberOnly = 0x80000000;
constexpr uint32_t kFtListByIndex = 0x40000000;
constexpr uint32_t kFtOpenBySerialNumber = 1;
constexpr uint32_t kFtOpenByDescription = 2;
constexpr uint32_t kFtPurgeRx = 1;
constexpr uint8_t kFtModeSyncBitBang = 0x04;
constexpr size_t kFtDescriptionSize = 64;

class FtDevice {
public:
    virtual ~FtDevice() = default;
    // FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY).
    [[nodiscard]] virtual FtStatus ListCount(uint32_t& count) = 0;
    // FT_ListDevices(index, buffer, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION);
    // buffer holds kFtDescriptionSize bytes.
    [[nodiscard]] virtual FtStatus ListDescription(uint32_t index, char* buffer) = 0;
    // FT_ListDevices(index, buffer, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER): the
    // device's serial number, which tells one programmer from another in the journal;
    // buffer holds kFtDescriptionSize bytes. A driver that cannot tell says so.
    [[nodiscard]] virtual FtStatus ListSerial(uint32_t, char*) { return ftstatus::kOtherError; }
    // FT_OpenEx(description, FT_OPEN_BY_DESCRIPTION, &handle).
    [[nodiscard]] virtual FtStatus OpenByDescription(const char* description, FtHandleValue& handle) = 0;
    [[nodiscard]] virtual FtStatus SetBitMode(FtHandleValue h, uint8_t mask, uint8_t mode) = 0;
    [[nodiscard]] virtual FtStatus SetLatencyTimer(FtHandleValue h, uint8_t ms) = 0;
    [[nodiscard]] virtual FtStatus SetTimeouts(FtHandleValue h, uint32_t readMs, uint32_t writeMs) = 0;
    [[nodiscard]] virtual FtStatus SetBaudRate(FtHandleValue h, uint32_t baud) = 0;
    [[nodiscard]] virtual FtStatus Purge(FtHandleValue h, uint32_t mask) = 0;
    [[nodiscard]] virtual FtStatus GetQueueStatus(FtHandleValue h, uint32_t& rxBytes) = 0;
    [[nodiscard]] virtual FtStatus Write(FtHandleValue h, const uint8_t* data, uint32_t count, uint32_t& written) = 0;
    [[nodiscard]] virtual FtStatus Read(FtHandleValue h, uint8_t* data, uint32_t count, uint32_t& read) = 0;
    // FT_Close(handle): only after an open that could not be completed; a
    // programmer that opened stays open for the life of the process.
    [[nodiscard]] virtual FtStatus Close(FtHandleValue) { return ftstatus::kOk; }
    // Which driver this is, for messages ("libftdi1", "D2XX", ...).
    virtual std::string Name() const = 0;
    // Why the last failure happened and what the user can do, in plain words;
    // empty when there is nothing to explain.
    virtual std::string Problem() const { return {}; }
};

} // namespace mrk
