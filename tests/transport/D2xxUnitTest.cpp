// The wrapper's error boxes and the driver fallback.
#include <gtest/gtest.h>

#include "core/Context.h"
#include "sim/VirtualFtdi.h"
#include "support/RecordingHost.h"
#include "transport/D2XXUnit.h"
#include "transport/FtDeviceChoice.h"
#include "transport/FtDeviceRef.h"

namespace mrk {
namespace {

TEST(UsbErrorReport, CaptionFollowedDirectlyByTheStatusText) {
    struct Case {
        const char* caption;
        FtStatus status;
        const char* text; // nullptr: no box
    } cases[] = {
        {"FT_GetQueueStatus", 0, nullptr},
        {"FT_GetQueueStatus", 4, "FT_GetQueueStatus - General IO error..."},
        {"FT_Read", 1, "FT_Read - Invalid handle..."},
        {"Open_USB_Device_By_Device_Description", 2, "Open_USB_Device_By_Device_Description - Device not found..."},
        {"FT_SetBaudRate", 7, "FT_SetBaudRate - Invalid baud rate..."},
        {"FT_Write", 8, "FT_Write Device not opened for erase..."},
        {"FT_Write", 9, "FT_Write Device not opened for write..."},
        {"FT_SetLatencyTimer ", 16, "FT_SetLatencyTimer  - Invalid arguments..."},
        {"FT_SetBitMode ", 17, "FT_SetBitMode  - Other error ..."},
        {"FT_Purge RX", 18, "FT_Purge RX - status 18..."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        test::RecordingHost host;
        Context ctx(host);
        UsbErrorReport(ctx.d2xx, ctx.host, c.caption, c.status);
        if (!c.text) {
            EXPECT_TRUE(host.messages.empty());
            continue;
        }
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0].text, c.text);
        EXPECT_EQ(host.messages[0].kind, MsgKind::Error);
        EXPECT_EQ(host.messages[0].buttons, MsgButtons::Ok);
    }
}

TEST(UsbErrorReport, SameFailureAgainIsShownOnlyAfterASuccess) {
    sim::SimClock clock;
    sim::VirtualFtdi dev(clock, nullptr, {});
    test::RecordingHost host;
    Context ctx(host);
    ctx.surtan.UseDevice(std::make_unique<FtDeviceRef>(dev));
    UsbQueueStatus(ctx.d2xx, ctx.host); // not open: invalid handle
    UsbQueueStatus(ctx.d2xx, ctx.host);
    EXPECT_EQ(host.messages.size(), 1u);
    ASSERT_EQ(GetFTDeviceCount(ctx.d2xx, ctx.host), ftstatus::kOk);
    UsbQueueStatus(ctx.d2xx, ctx.host);
    EXPECT_EQ(host.messages.size(), 2u);
}

TEST(UsbWrappers, NoDriverIsNoDevice) {
    test::RecordingHost host;
    Context ctx(host);
    EXPECT_EQ(GetFTDeviceCount(ctx.d2xx, ctx.host), ftstatus::kOk);
    EXPECT_EQ(ctx.d2xx.FtDevCount, 0u);
    EXPECT_TRUE(host.messages.empty());
}

TEST(UsbWrappers, LongDescriptionIsCutToTheNameBuffer) {
    sim::SimClock clock;
    sim::VirtualFtdiOptions o;
    o.description = std::string(49, 'S');
    sim::VirtualFtdi dev(clock, nullptr, o);
    test::RecordingHost host;
    Context ctx(host);
    ctx.surtan.UseDevice(std::make_unique<FtDeviceRef>(dev));
    // 60 characters asked for; the first 49 are what the device is opened by.
    EXPECT_EQ(Open_USB_Device_By_Device_Description(ctx.d2xx, ctx.host, std::string(60, 'S')), ftstatus::kOk);
    EXPECT_TRUE(dev.IsOpen());
}

TEST(FallbackFtDevice, VendorLibraryOnlyWhenLibftdiFindsNothing) {
    sim::SimClock clock;
    sim::VirtualFtdiOptions absent, present;
    absent.fault = sim::FtdiFault::Absent;
    struct Case {
        const char* name;
        bool primaryHas, secondaryHas, secondaryExists;
        int expectMade;
        bool expectSecondaryActive;
    } cases[] = {
        {"libftdi finds it", true, true, true, 0, false},
        {"only the vendor library does", false, true, true, 1, true},
        {"neither", false, false, true, 1, false},
        {"vendor library not installed", false, false, false, 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::VirtualFtdi primary(clock, nullptr, c.primaryHas ? present : absent);
        sim::VirtualFtdi secondary(clock, nullptr, c.secondaryHas ? present : absent);
        int made = 0;
        FallbackFtDevice dev(std::make_unique<FtDeviceRef>(primary), [&]() -> std::unique_ptr<FtDevice> {
            ++made;
            if (!c.secondaryExists) return nullptr;
            return std::make_unique<FtDeviceRef>(secondary);
        });
        uint32_t n = 0;
        ASSERT_EQ(dev.ListCount(n), ftstatus::kOk);
        dev.ListCount(n); // asked again: the library is made once
        EXPECT_EQ(made, c.expectMade);
        EXPECT_EQ(n, (c.primaryHas || c.secondaryHas) ? 1u : 0u);
        FtHandleValue h = nullptr;
        dev.OpenByDescription("Surtan", h);
        EXPECT_EQ(secondary.IsOpen(), c.expectSecondaryActive);
        EXPECT_EQ(primary.IsOpen(), c.primaryHas);
    }
}

} // namespace
} // namespace mrk
