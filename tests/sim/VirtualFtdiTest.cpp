// The virtual FTDI device as its vendor documents synchronous bit-bang mode.
#include <gtest/gtest.h>

#include <cstring>

#include "sim/VirtualFtdi.h"

namespace mrk::sim {
namespace {

struct Lines : PinTarget {
    std::vector<std::pair<Nanos, ProgrammerPins>> driven;
    std::optional<bool> pgd;
    void Drive(Nanos t, const ProgrammerPins& p) override { driven.emplace_back(t, p); }
    std::optional<bool> PgdDrive(Nanos) override { return pgd; }
};

struct Dev {
    explicit Dev(VirtualFtdiOptions o = {}) : ftdi(clock, &lines, o) {}
    FtHandleValue Open(uint8_t mask = 0xFF) {
        FtHandleValue h = nullptr;
        EXPECT_EQ(ftdi.OpenByDescription("Surtan", h), ftstatus::kOk);
        EXPECT_EQ(ftdi.SetBitMode(h, mask, kFtModeSyncBitBang), ftstatus::kOk);
        EXPECT_EQ(ftdi.SetBaudRate(h, 153600), ftstatus::kOk);
        EXPECT_EQ(ftdi.SetLatencyTimer(h, 1), ftstatus::kOk); // as the program sets it
        return h;
    }
    std::vector<uint8_t> WriteRead(FtHandleValue h, std::vector<uint8_t> out) {
        uint32_t n = 0;
        EXPECT_EQ(ftdi.Write(h, out.data(), static_cast<uint32_t>(out.size()), n), ftstatus::kOk);
        std::vector<uint8_t> in(out.size());
        EXPECT_EQ(ftdi.Read(h, in.data(), static_cast<uint32_t>(in.size()), n), ftstatus::kOk);
        in.resize(n);
        return in;
    }
    SimClock clock;
    Lines lines;
    VirtualFtdi ftdi;
};

TEST(VirtualFtdi, ReadBackIsOneSampleBehindTheOutput) {
    Dev d;
    auto h = d.Open(0xFF);
    EXPECT_EQ(d.WriteRead(h, {0x55, 0xAA}), (std::vector<uint8_t>{0x00, 0x55}));
    // Repeating the last byte reads back the byte before it took effect.
    EXPECT_EQ(d.WriteRead(h, {0x55, 0xAA, 0xAA}), (std::vector<uint8_t>{0xAA, 0x55, 0xAA}));
}

TEST(VirtualFtdi, InputPinReadsThePgdWire) {
    struct Case {
        const char* name;
        std::optional<bool> chip;
        uint8_t out;
        uint8_t bit3;
    } cases[] = {
        {"released, pulled up", std::nullopt, 0x00, 0x08},
        {"chip drives low", false, 0x00, 0x00},
        {"chip drives high", true, 0x00, 0x08},
        {"programmer pulls low", true, 0x40, 0x00},
        {"output latch bit 3 is not seen", false, 0x08, 0x00},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Dev d;
        auto h = d.Open(0xF7);
        d.lines.pgd = c.chip;
        const auto in = d.WriteRead(h, {c.out, c.out});
        ASSERT_EQ(in.size(), 2u);
        EXPECT_EQ(in[1] & 0x08, c.bit3);
        EXPECT_EQ(in[1] & 0xF7, c.out & 0xF7);
    }
}

TEST(VirtualFtdi, PinMapOnTheModuleLines) {
    Dev d;
    auto h = d.Open(0xF7);
    d.WriteRead(h, {0x10, 0x14, 0x34, 0x74});
    ASSERT_GE(d.lines.driven.size(), 4u);
    const auto n = d.lines.driven.size();
    EXPECT_EQ(d.lines.driven[n - 4].second, (ProgrammerPins{Mclr::Vdd, true, false}));  // bit 2 clear: PGC high
    EXPECT_EQ(d.lines.driven[n - 3].second, (ProgrammerPins{Mclr::Vdd, false, false}));
    EXPECT_EQ(d.lines.driven[n - 2].second, (ProgrammerPins{Mclr::Vpp, false, false}));
    EXPECT_EQ(d.lines.driven[n - 1].second, (ProgrammerPins{Mclr::Vpp, false, true}));
    // One sample every 1/(16 x 153600) s.
    EXPECT_NEAR(static_cast<double>(d.lines.driven[n - 1].first - d.lines.driven[n - 2].first), 406.9, 1.0);
}

TEST(VirtualFtdi, ReceiveQueueGrowsAsSamplesAreClocked) {
    Dev d;
    auto h = d.Open();
    std::vector<uint8_t> out(1000, 0x10);
    uint32_t n = 0, q = 0;
    ASSERT_EQ(d.ftdi.Write(h, out.data(), 1000, n), ftstatus::kOk);
    EXPECT_EQ(n, 1000u);
    std::vector<uint32_t> seen;
    do {
        ASSERT_EQ(d.ftdi.GetQueueStatus(h, q), ftstatus::kOk);
        seen.push_back(q);
    } while (q < 1000);
    EXPECT_GT(seen.size(), 5u); // 1000 samples take about 407 us, a poll 20 us
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_LT(seen.front(), 100u);
}

TEST(VirtualFtdi, PurgeDropsOnlyWhatHasArrived) {
    Dev d;
    auto h = d.Open();
    std::vector<uint8_t> out(100, 0x10);
    uint32_t n = 0, q = 0;
    d.ftdi.Write(h, out.data(), 100, n);
    d.clock.Advance(2 * sim::kMs); // clocked, and the last packet's latency passed
    ASSERT_EQ(d.ftdi.Purge(h, kFtPurgeRx), ftstatus::kOk);
    d.ftdi.GetQueueStatus(h, q);
    EXPECT_EQ(q, 0u);
    d.ftdi.Write(h, out.data(), 100, n);
    d.ftdi.Purge(h, kFtPurgeRx); // nothing clocked yet
    d.clock.Advance(2 * sim::kMs);
    d.ftdi.GetQueueStatus(h, q);
    EXPECT_EQ(q, 100u);
}

TEST(VirtualFtdi, ReadWaitsForSamplesUpToItsTimeOut) {
    Dev d;
    auto h = d.Open();
    ASSERT_EQ(d.ftdi.SetTimeouts(h, 5000, 5000), ftstatus::kOk);
    std::vector<uint8_t> out(10, 0x10), in(20);
    uint32_t n = 0;
    d.ftdi.Write(h, out.data(), 10, n);
    const auto t0 = d.clock.Now();
    ASSERT_EQ(d.ftdi.Read(h, in.data(), 5, n), ftstatus::kOk);
    EXPECT_EQ(n, 5u);
    // Ten samples fill no packet: they come when the latency timer runs out.
    EXPECT_GE(d.clock.Now() - t0, kMs);
    EXPECT_LT(d.clock.Now() - t0, kMs + 10 * kUs);
    // More than will ever come: the time-out ends the wait with what there is.
    ASSERT_EQ(d.ftdi.Read(h, in.data(), 20, n), ftstatus::kOk);
    EXPECT_EQ(n, 5u);
    EXPECT_GE(d.clock.Now() - t0, 5000 * kMs);
}

TEST(VirtualFtdi, ReadBackThatFillsNoPacketWaitsForTheLatency) {
    // Whole packets of 62 bytes go as soon as they are full; the rest waits for
    // the latency timer (the one the host set, or the bench's own figure).
    struct Case {
        const char* name;
        Nanos latency; // bench option; 0: the latency timer
        uint32_t samples;
        uint32_t from; // the sample whose clocking starts the wait for the last byte
        Nanos wait;
        uint64_t roundTrips;
    } cases[] = {
        {"one sample, 1 ms timer", 0, 1, 1, kMs, 1},
        {"one whole packet", 0, 62, 62, 0, 0},
        {"two packets and a bit", 0, 130, 125, kMs, 1},
        {"bench latency 0.5 ms", 500 * kUs, 10, 1, 500 * kUs, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VirtualFtdiOptions o;
        o.readBackLatency = c.latency;
        Dev d(o);
        auto h = d.Open();
        std::vector<uint8_t> out(c.samples, 0x10), in(c.samples);
        uint32_t n = 0;
        const Nanos t0 = d.clock.Now();
        ASSERT_EQ(d.ftdi.Write(h, out.data(), c.samples, n), ftstatus::kOk);
        ASSERT_EQ(d.ftdi.Read(h, in.data(), c.samples, n), ftstatus::kOk);
        EXPECT_EQ(n, c.samples);
        const Nanos clocked = (c.from * d.ftdi.SamplePeriodPs() + 999) / 1000;
        EXPECT_NEAR(static_cast<double>(d.clock.Now() - t0), static_cast<double>(clocked + c.wait), 2.0);
        EXPECT_EQ(d.ftdi.RoundTrips(), c.roundTrips);
    }
}

TEST(VirtualFtdi, APacketFilledByTheNextWriteGoesWithoutWaiting) {
    Dev d;
    auto h = d.Open();
    std::vector<uint8_t> out(31, 0x10), in(62);
    uint32_t n = 0;
    const Nanos t0 = d.clock.Now();
    d.ftdi.Write(h, out.data(), 31, n);
    d.ftdi.Write(h, out.data(), 31, n);
    ASSERT_EQ(d.ftdi.Read(h, in.data(), 62, n), ftstatus::kOk);
    EXPECT_EQ(n, 62u);
    EXPECT_LT(d.clock.Now() - t0, 30 * kUs);
    EXPECT_EQ(d.ftdi.RoundTrips(), 0u);
}

TEST(VirtualFtdi, DescriptionAndOpening) {
    VirtualFtdiOptions wrong;
    wrong.fault = FtdiFault::WrongDescription;
    Dev d(wrong);
    uint32_t count = 0;
    char desc[kFtDescriptionSize];
    ASSERT_EQ(d.ftdi.ListCount(count), ftstatus::kOk);
    EXPECT_EQ(count, 1u);
    ASSERT_EQ(d.ftdi.ListDescription(0, desc), ftstatus::kOk);
    EXPECT_STREQ(desc, "sURTAN");
    FtHandleValue h = nullptr;
    EXPECT_EQ(d.ftdi.OpenByDescription("Surtan", h), ftstatus::kDeviceNotFound);
    EXPECT_EQ(d.ftdi.OpenByDescription("sURTAN", h), ftstatus::kOk);
    EXPECT_EQ(d.ftdi.OpenByDescription("sURTAN", h), ftstatus::kDeviceNotOpened);
    uint32_t q = 0;
    EXPECT_EQ(d.ftdi.GetQueueStatus(nullptr, q), ftstatus::kInvalidHandle);
}

TEST(VirtualFtdi, FaultModes) {
    VirtualFtdiOptions absent;
    absent.fault = FtdiFault::Absent;
    Dev a(absent);
    uint32_t count = 9;
    FtHandleValue h = nullptr;
    EXPECT_EQ(a.ftdi.ListCount(count), ftstatus::kOk);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(a.ftdi.OpenByDescription("Surtan", h), ftstatus::kDeviceNotFound);

    VirtualFtdiOptions unplug;
    unplug.fault = FtdiFault::UnplugAfterTransfers;
    unplug.unplugAfter = 3;
    Dev u(unplug);
    h = u.Open();
    std::vector<uint8_t> out(4, 0x10);
    uint32_t n = 0, q = 0;
    EXPECT_EQ(u.ftdi.Write(h, out.data(), 4, n), ftstatus::kOk);
    EXPECT_EQ(u.ftdi.Read(h, out.data(), 4, n), ftstatus::kOk);
    EXPECT_EQ(u.ftdi.Write(h, out.data(), 4, n), ftstatus::kOk);
    EXPECT_EQ(u.ftdi.Read(h, out.data(), 4, n), ftstatus::kIoError);
    EXPECT_EQ(u.ftdi.GetQueueStatus(h, q), ftstatus::kIoError);
    EXPECT_EQ(u.ftdi.ListCount(count), ftstatus::kOk);
    EXPECT_EQ(count, 0u);

    VirtualFtdiOptions shortw;
    shortw.fault = FtdiFault::ShortWrites;
    shortw.shortWriteLimit = 3;
    Dev s(shortw);
    h = s.Open();
    EXPECT_EQ(s.ftdi.Write(h, out.data(), 4, n), ftstatus::kOk);
    EXPECT_EQ(n, 3u);
}

// The chip's buffers at the USB level: it takes the host's bytes in 64-byte
// packets into 128 bytes of transmit buffer, and clocks a sample only while its
// 256-byte receive buffer has room. A driver that keeps a read waiting (D2XX)
// never lets it fill; a host that only writes (libftdi1 between its calls)
// stalls the pins after 256 samples, and its write ends at the time-out.
TEST(VirtualFtdi, TheReceiveBufferFullStallsTheSampleClock) {
    struct Case {
        const char* name;
        bool readAhead;
        uint32_t samples;
        FtStatus status;
        uint32_t taken;   // bytes the chip took from the write
        uint64_t clocked; // samples on the pins when the write ended
    } cases[] = {
        {"driver reading ahead", true, 1000, ftstatus::kOk, 1000, 1000},
        {"nobody reading, fits the buffers", false, 300, ftstatus::kOk, 300, 256},
        {"nobody reading, more than the buffers", false, 1000, ftstatus::kIoError, 256 + 128, 256},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Dev d;
        auto h = d.Open();
        d.ftdi.SetTimeouts(h, 100, 100);
        d.ftdi.SetReadAhead(c.readAhead);
        std::vector<uint8_t> out(c.samples);
        for (uint32_t i = 0; i < c.samples; ++i) out[i] = static_cast<uint8_t>(i & 0x04);
        uint32_t n = 0;
        EXPECT_EQ(d.ftdi.BulkOut(h, out.data(), c.samples, n), c.status);
        EXPECT_EQ(n, c.taken);
        // However long the host waits.
        d.clock.Advance(10 * kMs);
        uint32_t q = 0;
        d.ftdi.GetQueueStatus(h, q);
        EXPECT_EQ(d.ftdi.Samples(), c.clocked);
    }
}

TEST(VirtualFtdi, AReadCallEndsAtThePacketTheTimerSends) {
    Dev d;
    auto h = d.Open();
    d.ftdi.SetReadAhead(false);
    std::vector<uint8_t> out(130, 0x10), in(4096);
    uint32_t n = 0;
    ASSERT_EQ(d.ftdi.BulkOut(h, out.data(), 130, n), ftstatus::kOk);
    const Nanos t0 = d.clock.Now();
    // Two full packets and the six bytes the latency timer sends.
    ASSERT_EQ(d.ftdi.BulkIn(h, in.data(), 4096, n), ftstatus::kOk);
    EXPECT_EQ(n, 130u);
    EXPECT_GE(d.clock.Now() - t0, kMs - 60 * kUs);
    // Nothing on its way: status bytes only, after the timer.
    const Nanos t1 = d.clock.Now();
    ASSERT_EQ(d.ftdi.BulkIn(h, in.data(), 4096, n), ftstatus::kOk);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(d.clock.Now() - t1, kMs);
}

TEST(VirtualFtdi, AReadUnderWayWithTheWriteKeepsTheClockGoing) {
    Dev d;
    auto h = d.Open();
    d.ftdi.SetReadAhead(false);
    std::vector<uint8_t> out(1000, 0x10), in(1000);
    uint32_t n = 0, got = 0;
    const Nanos t0 = d.clock.Now();
    ASSERT_EQ(d.ftdi.BulkOutIn(h, out.data(), 1000, n, in.data(), 1000, got), ftstatus::kOk);
    EXPECT_EQ(n, 1000u);
    EXPECT_EQ(got, 1000u);
    // The samples at the sample clock, then the last short packet's latency.
    const double clocked = 1000.0 * static_cast<double>(d.ftdi.SamplePeriodPs()) / 1000.0;
    EXPECT_NEAR(static_cast<double>(d.clock.Now() - t0), clocked + static_cast<double>(kMs) - 7 * 406.9, 100.0);
    EXPECT_EQ(d.ftdi.RoundTrips(), 1u);
}

} // namespace
} // namespace mrk::sim
