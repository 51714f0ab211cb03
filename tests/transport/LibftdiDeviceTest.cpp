// The libftdi1 driver's mapping of the FTDI calls, against a fake of libftdi.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>

#include "transport/LibftdiDevice.h"

namespace mrk {
namespace {

// A fake libftdi with a list of devices; an opened device in bit-bang mode
// echoes every byte written as one read-back byte.
struct FakeLibftdi : LibftdiCalls {
    struct Dev {
        std::string desc;
        int stringsRc = 0;
        int openRc = 0;
        std::string serial = "";
    };
    std::vector<Dev> devs;
    int findRc = 0; // used when negative
    int opened = -1;
    std::vector<std::pair<int, int>> bitmodes;
    std::vector<int> latencies, bauds, writeSizes;
    std::pair<int, int> timeouts{-1, -1};
    int flushes = 0;
    std::deque<uint8_t> chipOut; // what the chip has sent, not yet read
    int writeRc = 0, readRc = 0; // used when negative
    int maxReadBack = 1 << 30;   // bytes the chip returns per read call

    int FindAll() override { return findRc < 0 ? findRc : static_cast<int>(devs.size()); }
    int GetDescription(int i, char* buf, int len) override {
        if (devs[static_cast<size_t>(i)].stringsRc < 0) return devs[static_cast<size_t>(i)].stringsRc;
        std::strncpy(buf, devs[static_cast<size_t>(i)].desc.c_str(), static_cast<size_t>(len));
        return 0;
    }
    int GetSerial(int i, char* buf, int len) override {
        if (devs[static_cast<size_t>(i)].stringsRc < 0) return devs[static_cast<size_t>(i)].stringsRc;
        std::strncpy(buf, devs[static_cast<size_t>(i)].serial.c_str(), static_cast<size_t>(len));
        return 0;
    }
    int OpenDev(int i) override {
        const int rc = devs[static_cast<size_t>(i)].openRc;
        if (rc == 0) opened = i;
        return rc;
    }
    int Close() override { return 0; }
    int SetBitmode(uint8_t m, uint8_t mode) override {
        bitmodes.emplace_back(m, mode);
        return 0;
    }
    int SetLatencyTimer(uint8_t ms) override {
        latencies.push_back(ms);
        return 0;
    }
    int SetBaudrate(int b) override {
        bauds.push_back(b);
        return 0;
    }
    void SetTimeouts(int r, int w) override { timeouts = {r, w}; }
    int FlushRx() override {
        ++flushes;
        chipOut.clear();
        return 0;
    }
    int WriteData(const uint8_t* d, int n) override {
        if (writeRc < 0) return writeRc;
        writeSizes.push_back(n);
        chipOut.insert(chipOut.end(), d, d + n);
        return n;
    }
    int ReadData(uint8_t* d, int n) override {
        if (readRc < 0) return readRc;
        int k = 0;
        while (k < n && k < maxReadBack && !chipOut.empty()) {
            d[k++] = chipOut.front();
            chipOut.pop_front();
        }
        return k;
    }
    int WriteReadData(const uint8_t* out, int size, int& written, uint8_t* in, int want) override {
        written = 0;
        const int w = WriteData(out, size);
        if (w < 0) return w;
        written = w;
        return ReadData(in, want);
    }
    int PollStatus() override { return readRc < 0 ? readRc : 0; }
    std::string ErrorString() override { return "fake error"; }
};

struct Rig {
    Rig() {
        auto f = std::make_unique<FakeLibftdi>();
        fake = f.get();
        dev = std::make_unique<LibftdiDevice>(std::move(f), [this] { return nowMs += 1; });
    }
    FtHandleValue Open() {
        FtHandleValue h = nullptr;
        EXPECT_EQ(dev->OpenByDescription("Surtan", h), ftstatus::kOk);
        return h;
    }
    FakeLibftdi* fake;
    uint64_t nowMs = 0;
    std::unique_ptr<LibftdiDevice> dev;
};

TEST(LibftdiDevice, ListsDevicesAndTheirDescriptions) {
    Rig r;
    r.fake->devs = {{"FT232R USB UART", 0, 0, "A10K3ZQ1"}, {"Surtan", 0, 0, "FT4XJ2B7"}};
    uint32_t n = 0;
    ASSERT_EQ(r.dev->ListCount(n), ftstatus::kOk);
    EXPECT_EQ(n, 2u);
    char desc[kFtDescriptionSize];
    ASSERT_EQ(r.dev->ListDescription(1, desc), ftstatus::kOk);
    EXPECT_STREQ(desc, "Surtan");
    ASSERT_EQ(r.dev->ListSerial(1, desc), ftstatus::kOk);
    EXPECT_STREQ(desc, "FT4XJ2B7");

    r.fake->findRc = -5;
    EXPECT_EQ(r.dev->ListCount(n), ftstatus::kIoError);
    EXPECT_NE(r.dev->Problem().find("fake error"), std::string::npos);
}

TEST(LibftdiDevice, OpensTheDeviceWithExactlyThatDescription) {
    Rig r;
    r.fake->devs = {{"surtan"}, {"Surtan "}, {"Surtan"}};
    FtHandleValue h = nullptr;
    ASSERT_EQ(r.dev->OpenByDescription("Surtan", h), ftstatus::kOk);
    EXPECT_EQ(r.fake->opened, 2);
    EXPECT_NE(h, nullptr);
    EXPECT_EQ(r.dev->OpenByDescription("Surtan", h), ftstatus::kDeviceNotOpened); // already in use

    Rig none;
    none.fake->devs = {{"SURTAN"}};
    EXPECT_EQ(none.dev->OpenByDescription("Surtan", h), ftstatus::kDeviceNotFound);
}

TEST(LibftdiDevice, SaysWhatToDoWhenTheDeviceCannotBeUsed) {
    struct Case {
        const char* name;
        FakeLibftdi::Dev dev;
        bool viaList;
        FtStatus status;
        const char* hint;
    } cases[] = {
        {"no permission to read the description", {"Surtan", -4, 0}, true, ftstatus::kDeviceNotOpened, "udev"},
        {"no permission to open", {"Surtan", 0, -4}, false, ftstatus::kDeviceNotOpened, "plugdev"},
        {"serial driver holds it", {"Surtan", 0, -5}, false, ftstatus::kDeviceNotOpened, "ftdi_sio"},
        {"other failure", {"Surtan", 0, -6}, false, ftstatus::kDeviceNotOpened, "fake error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        r.fake->devs = {c.dev};
        FtHandleValue h = nullptr;
        char desc[kFtDescriptionSize];
        const FtStatus st = c.viaList ? r.dev->ListDescription(0, desc) : r.dev->OpenByDescription("Surtan", h);
        EXPECT_EQ(st, c.status);
        EXPECT_NE(r.dev->Problem().find(c.hint), std::string::npos) << r.dev->Problem();
    }
}

TEST(LibftdiDevice, SettingsMapOntoLibftdi) {
    Rig r;
    r.fake->devs = {{"Surtan"}};
    auto h = r.Open();
    EXPECT_EQ(r.dev->SetBaudRate(h, 9600), ftstatus::kOk); // not yet bit-bang: as given
    ASSERT_EQ(r.dev->SetBitMode(h, 0xF7, 0x04), ftstatus::kOk);
    ASSERT_EQ(r.dev->SetLatencyTimer(h, 1), ftstatus::kOk);
    ASSERT_EQ(r.dev->SetTimeouts(h, 5000, 4000), ftstatus::kOk);
    ASSERT_EQ(r.dev->SetBaudRate(h, 153600), ftstatus::kOk);
    EXPECT_EQ(r.fake->bitmodes, (std::vector<std::pair<int, int>>{{0xF7, 0x04}}));
    EXPECT_EQ(r.fake->latencies, std::vector<int>{1});
    EXPECT_EQ(r.fake->timeouts, (std::pair<int, int>{5000, 4000}));
    // libftdi quadruples the rate in bit-bang mode; the chip gets the vendor driver's divisor.
    EXPECT_EQ(r.fake->bauds, (std::vector<int>{9600, 38400}));
    EXPECT_EQ(r.dev->SetLatencyTimer(h, 0), ftstatus::kInvalidParameter);
}

TEST(LibftdiDevice, QueueStatusCountsWhatWasReadAhead) {
    Rig r;
    r.fake->devs = {{"Surtan"}};
    auto h = r.Open();
    r.dev->SetBitMode(h, 0xF7, 0x04);
    std::vector<uint8_t> out(300);
    for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>(i);
    uint32_t n = 0, q = 0;
    ASSERT_EQ(r.dev->Write(h, out.data(), 300, n), ftstatus::kOk);
    EXPECT_EQ(n, 300u);
    // Written at once, with its read-back read while it goes out.
    EXPECT_EQ(r.fake->writeSizes, (std::vector<int>{300}));
    ASSERT_EQ(r.dev->GetQueueStatus(h, q), ftstatus::kOk);
    EXPECT_EQ(q, 300u);
    std::vector<uint8_t> in(300);
    ASSERT_EQ(r.dev->Read(h, in.data(), 300, n), ftstatus::kOk);
    EXPECT_EQ(n, 300u);
    EXPECT_EQ(in, out);
    r.dev->GetQueueStatus(h, q);
    EXPECT_EQ(q, 0u);
}

TEST(LibftdiDevice, PurgeEmptiesTheReadAheadToo) {
    Rig r;
    r.fake->devs = {{"Surtan"}};
    auto h = r.Open();
    r.dev->SetBitMode(h, 0xF7, 0x04);
    uint8_t out[10] = {};
    uint32_t n = 0, q = 0;
    r.dev->Write(h, out, 10, n);
    ASSERT_EQ(r.dev->Purge(h, kFtPurgeRx), ftstatus::kOk);
    EXPECT_EQ(r.fake->flushes, 1);
    r.dev->GetQueueStatus(h, q);
    EXPECT_EQ(q, 0u);
}

TEST(LibftdiDevice, ReadEndsAtItsTimeOutWithWhatArrived) {
    Rig r;
    r.fake->devs = {{"Surtan"}};
    auto h = r.Open();
    r.dev->SetTimeouts(h, 50, 50);
    r.fake->chipOut = {1, 2, 3};
    uint8_t in[10];
    uint32_t n = 0;
    ASSERT_EQ(r.dev->Read(h, in, 10, n), ftstatus::kOk);
    EXPECT_EQ(n, 3u);
    EXPECT_GE(r.nowMs, 50u);
}

TEST(LibftdiDevice, FailuresBecomeD2xxStatuses) {
    Rig r;
    r.fake->devs = {{"Surtan"}};
    uint32_t n = 0;
    uint8_t b[4] = {};
    EXPECT_EQ(r.dev->Write(nullptr, b, 4, n), ftstatus::kInvalidHandle); // not open
    auto h = r.Open();
    EXPECT_EQ(r.dev->GetQueueStatus(nullptr, n), ftstatus::kInvalidHandle);
    r.fake->writeRc = -666;
    EXPECT_EQ(r.dev->Write(h, b, 4, n), ftstatus::kIoError);
    r.fake->readRc = -4;
    EXPECT_EQ(r.dev->GetQueueStatus(h, n), ftstatus::kIoError);
    r.dev->SetBitMode(h, 0xF7, 0x04);
    EXPECT_EQ(r.dev->GetQueueStatus(h, n), ftstatus::kIoError) << "the chip must answer in bit-bang mode too";
    r.fake->writeRc = 0;
    EXPECT_EQ(r.dev->Write(h, b, 4, n), ftstatus::kIoError) << "the read-back did not come";
    EXPECT_EQ(r.dev->Read(h, b, 4, n), ftstatus::kIoError);
    EXPECT_NE(r.dev->Problem().find("fake error"), std::string::npos);
}

TEST(LibftdiDevice, NoLibraryContext) {
    LibftdiDevice dev(nullptr);
    uint32_t n = 0;
    EXPECT_EQ(dev.ListCount(n), ftstatus::kIoError);
    EXPECT_FALSE(dev.Problem().empty());
}

} // namespace
} // namespace mrk
