// The vendor-library driver: how each call reaches the library, against fake
// entry points, and loading the library when it is not there.
#include <gtest/gtest.h>

#include <cstring>

#include "core/Context.h"
#include "support/RecordingHost.h"
#include "transport/D2XXUnit.h"
#include "transport/D2xxLibrary.h"
#include "transport/FtDeviceChoice.h"
#include "transport/Surtan.h"

namespace mrk {
namespace {

// What the fake library was called with.
struct Seen {
    std::vector<std::string> calls;
    void* arg1 = nullptr;
    unsigned long flags = 0;
    std::string openName;
    unsigned long a = 0, b = 0;
    unsigned long status = 0;
};
Seen seen;
int token = 0;
void* const kHandle = &token;

using S = D2xxApi::Status;
S List(void* a1, void* a2, unsigned long flags) {
    seen.calls.push_back("FT_ListDevices");
    seen.arg1 = a1;
    seen.flags = flags;
    if (flags == kFtListNumberOnly) *static_cast<uint32_t*>(a1) = 3; // a 32-bit DWORD
    else if (flags & kFtOpenBySerialNumber) std::strcpy(static_cast<char*>(a2), "FT4XJ2B7");
    else std::strcpy(static_cast<char*>(a2), "Surtan");
    return seen.status;
}
S OpenEx(void* a1, unsigned long flags, void** h) {
    seen.calls.push_back("FT_OpenEx");
    seen.openName = static_cast<const char*>(a1);
    seen.flags = flags;
    *h = kHandle;
    return seen.status;
}
S BitMode(void* h, unsigned char m, unsigned char mode) {
    seen.calls.push_back("FT_SetBitMode");
    EXPECT_EQ(h, kHandle);
    seen.a = m;
    seen.b = mode;
    return seen.status;
}
S Latency(void*, unsigned char ms) {
    seen.calls.push_back("FT_SetLatencyTimer");
    seen.a = ms;
    return seen.status;
}
S Timeouts(void*, unsigned long r, unsigned long w) {
    seen.calls.push_back("FT_SetTimeouts");
    seen.a = r;
    seen.b = w;
    return seen.status;
}
S Baud(void*, unsigned long b) {
    seen.calls.push_back("FT_SetBaudRate");
    seen.a = b;
    return seen.status;
}
S Purge(void*, unsigned long m) {
    seen.calls.push_back("FT_Purge");
    seen.a = m;
    return seen.status;
}
S Queue(void*, void* n) {
    seen.calls.push_back("FT_GetQueueStatus");
    *static_cast<uint32_t*>(n) = 7;
    return seen.status;
}
S Write(void*, void*, unsigned long count, void* n) {
    seen.calls.push_back("FT_Write");
    *static_cast<uint32_t*>(n) = static_cast<uint32_t>(count);
    return seen.status;
}
S Read(void*, void*, unsigned long count, void* n) {
    seen.calls.push_back("FT_Read");
    *static_cast<uint32_t*>(n) = static_cast<uint32_t>(count / 2);
    return seen.status;
}

D2xxApi FakeApi() {
    D2xxApi a;
    a.ListDevices = List;
    a.OpenEx = OpenEx;
    a.SetBitMode = BitMode;
    a.SetLatencyTimer = Latency;
    a.SetTimeouts = Timeouts;
    a.SetBaudRate = Baud;
    a.Purge = Purge;
    a.GetQueueStatus = Queue;
    a.Write = Write;
    a.Read = Read;
    return a;
}

TEST(D2xxLibrary, ArgumentsReachTheLibraryAsItsGuideSays) {
    seen = {};
    D2xxLibraryDevice dev(FakeApi(), nullptr);
    uint32_t n = 0;
    ASSERT_EQ(dev.ListCount(n), ftstatus::kOk);
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(seen.flags, 0x80000000ul);

    char desc[kFtDescriptionSize];
    ASSERT_EQ(dev.ListDescription(2, desc), ftstatus::kOk);
    EXPECT_EQ(seen.arg1, reinterpret_cast<void*>(2)); // the index itself, not a pointer to it
    EXPECT_EQ(seen.flags, 0x40000002ul);
    EXPECT_STREQ(desc, "Surtan");
    ASSERT_EQ(dev.ListSerial(2, desc), ftstatus::kOk);
    EXPECT_EQ(seen.arg1, reinterpret_cast<void*>(2));
    EXPECT_EQ(seen.flags, 0x40000001ul);
    EXPECT_STREQ(desc, "FT4XJ2B7");

    FtHandleValue h = nullptr;
    ASSERT_EQ(dev.OpenByDescription("Surtan", h), ftstatus::kOk);
    EXPECT_EQ(seen.openName, "Surtan");
    EXPECT_EQ(seen.flags, 2ul);
    EXPECT_EQ(h, kHandle);

    dev.SetBitMode(h, 0xF7, 4);
    EXPECT_EQ(seen.a, 0xF7ul);
    EXPECT_EQ(seen.b, 4ul);
    dev.SetTimeouts(h, 5000, 4000);
    EXPECT_EQ(seen.a, 5000ul);
    EXPECT_EQ(seen.b, 4000ul);
    dev.SetBaudRate(h, 153600);
    EXPECT_EQ(seen.a, 153600ul); // the vendor driver takes the rate as it is
    dev.Purge(h, kFtPurgeRx);
    EXPECT_EQ(seen.a, 1ul);
    ASSERT_EQ(dev.GetQueueStatus(h, n), ftstatus::kOk);
    EXPECT_EQ(n, 7u);
    uint8_t buf[10] = {};
    ASSERT_EQ(dev.Read(h, buf, 10, n), ftstatus::kOk);
    EXPECT_EQ(n, 5u);
}

TEST(D2xxLibrary, FtOpenThroughTheLibrary) {
    seen = {};
    test::RecordingHost host;
    Context ctx(host);
    ctx.surtan.UseDevice(std::make_unique<D2xxLibraryDevice>(FakeApi(), nullptr));
    uint32_t ticks = 0;
    ctx.TickMs = [&ticks] { return ticks += 1; };
    ASSERT_TRUE(ctx.surtan.Open());
    const std::vector<std::string> head(seen.calls.begin(), seen.calls.begin() + 11);
    // The count, the description, the serial number (for the journal), then the opening.
    EXPECT_EQ(head, (std::vector<std::string>{"FT_ListDevices", "FT_ListDevices", "FT_ListDevices", "FT_OpenEx",
                                              "FT_GetQueueStatus", "FT_SetBitMode", "FT_SetLatencyTimer",
                                              "FT_SetTimeouts", "FT_SetBaudRate", "FT_GetQueueStatus",
                                              "FT_GetQueueStatus"}));
    EXPECT_EQ(ctx.d2xx.FtDevSerial, "FT4XJ2B7");
    EXPECT_TRUE(host.messages.empty());
}

TEST(D2xxLibrary, FailingStatusesAreShownWithTheirCaptions) {
    seen = {};
    seen.status = 4;
    test::RecordingHost host;
    Context ctx(host);
    ctx.surtan.UseDevice(std::make_unique<D2xxLibraryDevice>(FakeApi(), nullptr));
    EXPECT_FALSE(ctx.surtan.Open());
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "GetFTDeviceCount - General IO error...");
    EXPECT_EQ(host.messages[0].kind, MsgKind::Error);
    EXPECT_EQ(host.messages[0].buttons, MsgButtons::Ok);
}

TEST(D2xxLibrary, MissingLibraryIsAClearErrorNotACrash) {
    D2xxApi api;
    void* lib = reinterpret_cast<void*>(1);
    std::string error;
    EXPECT_FALSE(LoadD2xxApi("/nonexistent/libftd2xx.so", api, lib, error));
    EXPECT_EQ(lib, nullptr);
    EXPECT_NE(error.find("не загружена"), std::string::npos) << error;
    EXPECT_NE(error.find("--usb-driver libftdi"), std::string::npos) << error;
    EXPECT_EQ(api.ListDevices, nullptr);
}

TEST(D2xxLibrary, LibraryWithoutTheEntryPointsIsRefused) {
    D2xxApi api;
    void* lib = nullptr;
    std::string error;
    EXPECT_FALSE(LoadD2xxApi("libc.so.6", api, lib, error));
    EXPECT_EQ(lib, nullptr);
    EXPECT_NE(error.find("FT_ListDevices"), std::string::npos) << error;
}

TEST(D2xxLibrary, SelectedButMissingFindsNoProgrammerAndSaysWhy) {
    test::RecordingHost host;
    Context ctx(host);
    ctx.surtan.UseDevice(MakeD2xxDevice("/nonexistent/libftd2xx.so"));
    EXPECT_FALSE(ctx.surtan.Open());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_NE(ctx.surtan.Problem().find("libftd2xx.so"), std::string::npos);
}

} // namespace
} // namespace mrk
