// The Surtan's open: a device that will not take the bit-bang mode, the latency
// timer, the time-outs or the baud rate is no programmer. The open fails, says
// which call failed and lets the device go, so the next open starts afresh.
#include <gtest/gtest.h>

#include <string>

#include "transport/UsbRig.h"

namespace mrk {
namespace {

// The virtual FTDI device with one of its setting calls refused.
class RefusingDevice : public FtDeviceRef {
public:
    RefusingDevice(FtDevice& target, std::string refused) : FtDeviceRef(target), refused_(std::move(refused)) {}
    FtStatus SetBitMode(FtHandleValue h, uint8_t m, uint8_t mode) override {
        return Refuses("FT_SetBitMode") ? ftstatus::kOtherError : FtDeviceRef::SetBitMode(h, m, mode);
    }
    FtStatus SetLatencyTimer(FtHandleValue h, uint8_t ms) override {
        return Refuses("FT_SetLatencyTimer") ? ftstatus::kIoError : FtDeviceRef::SetLatencyTimer(h, ms);
    }
    FtStatus SetTimeouts(FtHandleValue h, uint32_t r, uint32_t w) override {
        return Refuses("FT_SetTimeouts") ? ftstatus::kIoError : FtDeviceRef::SetTimeouts(h, r, w);
    }
    FtStatus SetBaudRate(FtHandleValue h, uint32_t b) override {
        return Refuses("FT_SetBaudRate") ? ftstatus::kInvalidBaudRate : FtDeviceRef::SetBaudRate(h, b);
    }
    std::string refused_;

private:
    bool Refuses(const char* call) const { return refused_ == call; }
};

TEST(FtOpenSettings, AnyRefusedSettingFailsTheOpenNamesTheCallAndClosesTheDevice) {
    for (const char* call : {"FT_SetBitMode", "FT_SetLatencyTimer", "FT_SetTimeouts", "FT_SetBaudRate"}) {
        SCOPED_TRACE(call);
        test::UsbRig r;
        auto device = std::make_unique<RefusingDevice>(r.dev, call);
        RefusingDevice& refusing = *device;
        r.ctx.surtan.UseDevice(std::move(device));

        EXPECT_FALSE(r.ctx.surtan.Open());
        EXPECT_FALSE(r.ctx.ft.FtOpened);
        EXPECT_FALSE(r.dev.IsOpen()) << "the device is let go";
        ASSERT_EQ(r.host.messages.size(), 1u);
        EXPECT_EQ(r.host.messages[0].text.rfind(call, 0), 0u) << r.host.messages[0].text;
        ASSERT_FALSE(r.host.log.empty());
        EXPECT_EQ(r.host.log.back(), std::string("Программатор Surtan не настроен: ") + call + " не выполнен.");

        // Once the device takes its settings, the next open succeeds from the start.
        refusing.refused_.clear();
        EXPECT_TRUE(r.ctx.surtan.Open());
        EXPECT_TRUE(r.dev.IsOpen());
        EXPECT_EQ(r.dev.BitMode(), kFtModeSyncBitBang);
    }
}

} // namespace
} // namespace mrk
