#pragma once
// The FTDI calls served by the vendor's D2XX library (libftd2xx.so), loaded
// at run time for users who run the vendor driver instead of libftdi1.
#include <string>

#include "transport/FtDevice.h"
#include "transport/SurtanChoice.h"

namespace mrk {

// The library's entry points, declared from the vendor's programmer's guide:
// FT_STATUS and the ULONG/DWORD arguments are unsigned long, FT_HANDLE and the
// list arguments are void*, UCHAR is unsigned char; plain C calling convention.
// Outputs through DWORD pointers are given zeroed 64-bit storage, so they read
// right whether the library writes 32 or 64 bits.
struct D2xxApi {
    using Status = unsigned long;
    Status (*ListDevices)(void* arg1, void* arg2, unsigned long flags) = nullptr;
    Status (*OpenEx)(void* arg1, unsigned long flags, void** handle) = nullptr;
    Status (*SetBitMode)(void* h, unsigned char mask, unsigned char mode) = nullptr;
    Status (*SetLatencyTimer)(void* h, unsigned char ms) = nullptr;
    Status (*SetTimeouts)(void* h, unsigned long readMs, unsigned long writeMs) = nullptr;
    Status (*SetBaudRate)(void* h, unsigned long baud) = nullptr;
    Status (*Purge)(void* h, unsigned long mask) = nullptr;
    Status (*GetQueueStatus)(void* h, void* rxBytes) = nullptr;
    Status (*Write)(void* h, void* data, unsigned long count, void* written) = nullptr;
    Status (*Read)(void* h, void* data, unsigned long count, void* read) = nullptr;
    Status (*Close)(void* h) = nullptr; // optional: a library without it leaves the device to its end
};

// The library's name on Linux.
constexpr const char* kD2xxLibraryName = "libftd2xx.so";

// Loads the library and its entry points. On failure, error says what is
// missing and what to do; the library stays unloaded.
[[nodiscard]] bool LoadD2xxApi(const std::string& path, D2xxApi& api, void*& library, std::string& error);

class D2xxLibraryDevice : public FtDevice, public FtSerialOpen {
public:
    // library: the dlopen handle to close at the end, or nullptr.
    D2xxLibraryDevice(const D2xxApi& api, void* library);
    ~D2xxLibraryDevice() override;
    D2xxLibraryDevice(const D2xxLibraryDevice&) = delete;
    D2xxLibraryDevice& operator=(const D2xxLibraryDevice&) = delete;

    [[nodiscard]] FtStatus ListCount(uint32_t& count) override;
    [[nodiscard]] FtStatus ListDescription(uint32_t index, char* buffer) override;
    [[nodiscard]] FtStatus ListSerial(uint32_t index, char* buffer) override;
    [[nodiscard]] FtStatus OpenByDescription(const char* description, FtHandleValue& handle) override;
    [[nodiscard]] FtStatus OpenBySerial(const char* serial, FtHandleValue& handle) override;
    [[nodiscard]] FtStatus SetBitMode(FtHandleValue h, uint8_t mask, uint8_t mode) override;
    [[nodiscard]] FtStatus SetLatencyTimer(FtHandleValue h, uint8_t ms) override;
    [[nodiscard]] FtStatus SetTimeouts(FtHandleValue h, uint32_t readMs, uint32_t writeMs) override;
    [[nodiscard]] FtStatus SetBaudRate(FtHandleValue h, uint32_t baud) override;
    [[nodiscard]] FtStatus Purge(FtHandleValue h, uint32_t mask) override;
    [[nodiscard]] FtStatus GetQueueStatus(FtHandleValue h, uint32_t& rxBytes) override;
    [[nodiscard]] FtStatus Write(FtHandleValue h, const uint8_t* data, uint32_t count, uint32_t& written) override;
    [[nodiscard]] FtStatus Read(FtHandleValue h, uint8_t* data, uint32_t count, uint32_t& read) override;
    [[nodiscard]] FtStatus Close(FtHandleValue h) override;
    std::string Name() const override { return "D2XX"; }

private:
    D2xxApi api_;
    void* library_;
};

// A driver that could not be loaded: finds no device and says why.
class MissingFtDevice : public FtDevice {
public:
    explicit MissingFtDevice(std::string why) : why_(std::move(why)) {}
    [[nodiscard]] FtStatus ListCount(uint32_t& count) override {
        count = 0;
        return ftstatus::kOk;
    }
    [[nodiscard]] FtStatus ListDescription(uint32_t, char*) override { return ftstatus::kDeviceNotFound; }
    [[nodiscard]] FtStatus OpenByDescription(const char*, FtHandleValue&) override { return ftstatus::kDeviceNotFound; }
    [[nodiscard]] FtStatus SetBitMode(FtHandleValue, uint8_t, uint8_t) override { return ftstatus::kInvalidHandle; }
    [[nodiscard]] FtStatus SetLatencyTimer(FtHandleValue, uint8_t) override { return ftstatus::kInvalidHandle; }
    [[nodiscard]] FtStatus SetTimeouts(FtHandleValue, uint32_t, uint32_t) override { return ftstatus::kInvalidHandle; }
    [[nodiscard]] FtStatus SetBaudRate(FtHandleValue, uint32_t) override { return ftstatus::kInvalidHandle; }
    [[nodiscard]] FtStatus Purge(FtHandleValue, uint32_t) override { return ftstatus::kInvalidHandle; }
    [[nodiscard]] FtStatus GetQueueStatus(FtHandleValue, uint32_t&) override { return ftstatus::kInvalidHandle; }
    [[nodiscard]] FtStatus Write(FtHandleValue, const uint8_t*, uint32_t, uint32_t&) override { return ftstatus::kInvalidHandle; }
    [[nodiscard]] FtStatus Read(FtHandleValue, uint8_t*, uint32_t, uint32_t&) override { return ftstatus::kInvalidHandle; }
    std::string Name() const override { return "none"; }
    std::string Problem() const override { return why_; }

private:
    std::string why_;
};

} // namespace mrk
