// The USB sample engine against the virtual FTDI device.
#include <gtest/gtest.h>

#include <algorithm>

#include "icsp/PinRecorder.h"
#include "transport/UsbRig.h"

namespace mrk {
namespace {

using test::UsbRig;

TEST(FtOpen, ConfiguresTheDeviceForSynchronousBitBang) {
    UsbRig r;
    ASSERT_TRUE(r.ctx.surtan.Open());
    EXPECT_TRUE(r.ctx.ft.FtOpened);
    EXPECT_EQ(r.dev.Mask(), 0xF7);
    EXPECT_EQ(r.dev.BitMode(), 0x04);
    EXPECT_EQ(r.dev.Latency(), 1);
    EXPECT_EQ(r.dev.ReadTimeoutMs(), 5000u);
    EXPECT_EQ(r.dev.WriteTimeoutMs(), 5000u);
    EXPECT_EQ(r.dev.BaudRate(), 153600u);
    // 20 us per queue-status call on the virtual device; the count stops one
    // short of the 100 ms tick.
    EXPECT_EQ(r.ctx.ft.FtPollsPerMs, 49u);
    EXPECT_TRUE(r.host.messages.empty());
}

TEST(FtOpen, FindsOnlyTheExactDescription) {
    struct Case {
        const char* name;
        sim::VirtualFtdiOptions opt;
        bool found;
    } cases[] = {
        {"exact", {}, true},
        {"letter case differs", {.fault = sim::FtdiFault::WrongDescription}, false},
        {"other device", {.description = "FT232R USB UART"}, false},
        {"longer name", {.description = "Surtan2"}, false},
        {"no device", {.fault = sim::FtdiFault::Absent}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        UsbRig r(nullptr, c.opt);
        EXPECT_EQ(r.ctx.surtan.Open(), c.found);
        EXPECT_EQ(r.dev.IsOpen(), c.found);
        EXPECT_EQ(r.ctx.ft.FtOpened, c.found);
        EXPECT_TRUE(r.host.messages.empty());
    }
}

TEST(FtOpen, SecondCallLeavesTheDeviceAlone) {
    UsbRig r;
    ASSERT_TRUE(r.ctx.surtan.Open());
    const auto polls = r.dev.Polls();
    const auto now = r.clock.Now();
    EXPECT_TRUE(r.ctx.surtan.Open());
    EXPECT_EQ(r.dev.Opens(), 1u);
    EXPECT_EQ(r.dev.Polls(), polls);
    EXPECT_EQ(r.clock.Now(), now);
}

TEST(FtOpen, SlowQueueStatusStillGivesWaitsTheirLength) {
    // Each call takes longer than a millisecond: the poll rate rounds to 0,
    // which would turn every wait into no wait at all.
    sim::VirtualFtdiOptions o;
    o.pollCost = 2 * sim::kMs;
    UsbRig r(nullptr, o);
    ASSERT_TRUE(r.Open());
    EXPECT_EQ(r.ctx.ft.FtPollsPerMs, 1u);
    const auto before = r.clock.Now();
    EXPECT_TRUE(r.ctx.surtan.Delay(1200));
    EXPECT_GE(r.clock.Now() - before, 12 * sim::kMs);
}

TEST(FtWrite, NothingQueuedLogsAndSendsNothing) {
    UsbRig r;
    ASSERT_TRUE(r.Open());
    EXPECT_EQ(r.ctx.surtan.Write(), 0u);
    EXPECT_EQ(r.host.log, std::vector<std::string>{"Ошибка-1 FtWrite()->FTIndxOutBuff=0 < FT_Q_Bytes=0 "});
    EXPECT_EQ(r.dev.Samples(), 0u);
}

TEST(FtWrite, ReadBackHoldsThePinsBeforeEachSample) {
    UsbRig r;
    ASSERT_TRUE(r.Open());
    std::vector<uint8_t> sent;
    for (int i = 0; i < 300; ++i) {
        r.ctx.surtan.SetClk(i % 3 == 0);
        r.ctx.surtan.SetDat(i % 7 == 0);
        r.ctx.surtan.SetMark(i % 5 == 0);
    }
    const uint32_t n = r.ctx.ft.FTIndxOutBuff;
    sent.assign(r.ctx.d2xx.FtOutBuff.begin(), r.ctx.d2xx.FtOutBuff.begin() + n);
    ASSERT_EQ(r.ctx.surtan.Write(), n);
    EXPECT_EQ(r.ctx.ft.FTIndxOutBuff, 0u);
    for (uint32_t i = 1; i < n; ++i) EXPECT_EQ(r.ctx.d2xx.FtInBuff[i] & 0xF7, sent[i - 1] & 0xF7) << i;
    EXPECT_TRUE(r.host.log.empty());
}

TEST(FtWrite, ShortWritesAreCompletedInLaterPasses) {
    sim::VirtualFtdiOptions o;
    o.fault = sim::FtdiFault::ShortWrites;
    o.shortWriteLimit = 64;
    UsbRig r(nullptr, o);
    ASSERT_TRUE(r.Open());
    for (int i = 0; i < 200; ++i) r.ctx.surtan.SetDat((i * 37 % 11) & 1);
    std::vector<uint8_t> sent(r.ctx.d2xx.FtOutBuff.begin(), r.ctx.d2xx.FtOutBuff.begin() + 200);
    EXPECT_EQ(r.ctx.surtan.Write(), 200u);
    EXPECT_EQ(r.dev.Samples(), 200u);
    EXPECT_EQ(r.dev.Writes(), 4u); // 64 + 64 + 64 + 8
    for (uint32_t i = 1; i < 200; ++i) EXPECT_EQ(r.ctx.d2xx.FtInBuff[i] & 0xF7, sent[i - 1] & 0xF7) << i;
    EXPECT_TRUE(r.host.log.empty());
}

TEST(FtWrite, ATransferCountsOnlyWhenItCameBackWhole) {
    sim::VirtualFtdiOptions o;
    o.fault = sim::FtdiFault::ShortWrites;
    o.shortWriteLimit = 8;
    UsbRig r(nullptr, o);
    ASSERT_TRUE(r.Open());
    struct Case {
        const char* name;
        int samples;
        bool whole;
    } cases[] = {
        {"finished in later passes", 101 * 8, true},
        {"still short after 101 passes", 101 * 8 + 1, false},
        {"nothing queued", 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (int i = 0; i < c.samples; ++i) r.ctx.surtan.PutSample();
        const FtTransferResult t = r.ctx.surtan.Transfer();
        EXPECT_EQ(t.whole, c.whole);
        EXPECT_EQ(t.r == static_cast<uint32_t>(c.samples), c.whole) << t.r;
    }
    // A device gone fails every transfer.
    r.dev.SetFault(sim::FtdiFault::UnplugAfterTransfers);
    for (int k = 0; k < 2; ++k) {
        r.ctx.surtan.PutSample();
        EXPECT_FALSE(r.ctx.surtan.Transfer().whole);
    }
}

TEST(FtWrite, StaleReadBackIsPurgedFirst) {
    UsbRig r;
    ASSERT_TRUE(r.Open());
    // Samples written behind the engine's back leave read-back in the queue.
    uint32_t written = 0;
    const uint8_t stray[3] = {0x10, 0x10, 0x10};
    r.dev.Write(r.ctx.d2xx.FtHandle, stray, 3, written);
    r.clock.Advance(sim::kMs);
    r.ctx.surtan.PutSample();
    r.ctx.surtan.PutSample();
    EXPECT_EQ(r.ctx.surtan.Write(), 2u);
    EXPECT_EQ(r.ctx.d2xx.counters.purges, 1u);
}

TEST(FtWrite, OverflowKeepsTheFirst65535Samples) {
    UsbRig r;
    ASSERT_TRUE(r.Open());
    for (int i = 0; i < 65535; ++i) r.ctx.surtan.PutSample();
    EXPECT_TRUE(r.host.log.empty());
    r.ctx.surtan.SetDat(1); // the 65,536th sample
    r.ctx.surtan.PutSample();
    EXPECT_EQ(r.host.log, (std::vector<std::string>{"Ошибка переполнения =65535", "Ошибка переполнения =65535"}));
    EXPECT_EQ(r.ctx.ft.FTIndxOutBuff, 65535u);
    EXPECT_EQ(r.ctx.surtan.Write(), 65535u);
    EXPECT_EQ(r.dev.Samples(), 65535u);
    // The dropped samples never reached the pins.
    EXPECT_FALSE(r.dev.Pins().pgdPulledLow);
}

TEST(FtWrite, UnpluggedDeviceShowsEachFailureOnce) {
    sim::VirtualFtdiOptions o;
    o.fault = sim::FtdiFault::UnplugAfterTransfers;
    o.unplugAfter = 2;
    UsbRig r(nullptr, o);
    ASSERT_TRUE(r.Open());
    (void)r.ctx.surtan.SetVpp(0); // one write, one read: the device goes away after them
    for (int i = 0; i < 20; ++i) {
        r.ctx.surtan.SetDat(1);
        EXPECT_EQ(r.ctx.surtan.Write(), 0u);
        (void)r.ctx.surtan.Delay(1200);
    }
    std::vector<std::string> texts;
    for (const auto& m : r.host.messages) texts.push_back(m.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"FT_GetQueueStatus - General IO error...",
                                               "FT_Purge RX - General IO error...", "FT_Write - General IO error...",
                                               "FT_Read - General IO error..."}));
    for (const auto& m : r.host.messages) EXPECT_EQ(m.kind, MsgKind::Error);
}

TEST(FtGetDat, AnyMarkedSampleOfTheTransferCounts) {
    // The target drives PGD high while PGC is high, low otherwise.
    struct ClockEcho : sim::PinTarget {
        bool high = false;
        void Drive(sim::Nanos, const sim::ProgrammerPins& p) override { high = p.pgcHigh; }
        std::optional<bool> PgdDrive(sim::Nanos) override { return high; }
    } target;
    UsbRig r(&target);
    ASSERT_TRUE(r.Open());
    r.ctx.surtan.SetClk(0);
    EXPECT_EQ(r.ctx.surtan.GetDat(), LineLevel::Low);
    r.ctx.surtan.SetClk(1);
    EXPECT_EQ(r.ctx.surtan.GetDat(), LineLevel::High);
    // A mark queued earlier while PGD was high, the call's own mark while low.
    r.ctx.surtan.SetClk(1);
    r.ctx.surtan.SetMark(1);
    r.ctx.surtan.SetMark(0);
    r.ctx.surtan.SetClk(0);
    r.ctx.surtan.PutSample();
    EXPECT_EQ(r.ctx.surtan.GetDat(), LineLevel::High);
    EXPECT_EQ(r.ctx.ft.FtOutByte & 0x80, 0);
}

TEST(FtGetDat, ATransferNotBackWholeIsNoAnswer) {
    // PGD held low by the target: the boot loader's "ready", had the read been believed.
    struct HoldLow : sim::PinTarget {
        void Drive(sim::Nanos, const sim::ProgrammerPins&) override {}
        std::optional<bool> PgdDrive(sim::Nanos) override { return false; }
    } target;
    struct Case {
        const char* name;
        sim::VirtualFtdiOptions opt;
        sim::FtdiFault fault;
    } cases[] = {
        // The 5 samples of a read go out one per write: whole after five passes.
        {"one byte per write, finished in later passes", {.shortWriteLimit = 1}, sim::FtdiFault::ShortWrites},
        {"device gone", {}, sim::FtdiFault::UnplugAfterTransfers},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        UsbRig r(&target, c.opt);
        ASSERT_TRUE(r.Open());
        EXPECT_EQ(r.ctx.surtan.GetDat(), LineLevel::Low);
        r.dev.SetFault(c.fault);
        const bool completes = c.fault == sim::FtdiFault::ShortWrites;
        EXPECT_EQ(r.ctx.surtan.GetDat(), completes ? LineLevel::Low : LineLevel::NoAnswer);
        // More samples than 101 one-byte passes carry: the write stays short.
        for (int i = 0; i < 2000; ++i) r.ctx.surtan.PutSample();
        EXPECT_EQ(r.ctx.surtan.GetDat(), LineLevel::NoAnswer);
    }
}

TEST(FtReadByte, DecodesLeastSignificantBitFirst) {
    struct Case {
        const char* name;
        std::vector<bool> bits; // as driven over the eight read clocks
        uint8_t expect;
    } cases[] = {
        {"held high", {1, 1, 1, 1, 1, 1, 1, 1}, 0xFF},
        {"held low", {0, 0, 0, 0, 0, 0, 0, 0}, 0x00},
        {"A5", {1, 0, 1, 0, 0, 1, 0, 1}, 0xA5},
        {"first bit only", {1, 0, 0, 0, 0, 0, 0, 0}, 0x01},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::PinRecorder chip;
        chip.toDrive.assign(c.bits.begin(), c.bits.end());
        chip.driveAfterFalling = 8;
        UsbRig r(&chip);
        ASSERT_TRUE(r.Open());
        r.ctx.surtan.SetClk(0);
        r.ctx.surtan.SetDat(1);
        r.ctx.surtan.Write();
        chip.latched.clear();
        const auto before = r.dev.Samples();
        EXPECT_EQ(r.ctx.surtan.ReadByte(), c.expect);
        EXPECT_EQ(r.dev.Samples() - before, 113u);
        EXPECT_EQ(chip.latched.size(), 16u);
        // Lead-in clocks with PGD held low by the host.
        EXPECT_EQ(std::vector<int>(chip.latched.begin(), chip.latched.begin() + 8), std::vector<int>(8, 0));
        EXPECT_FALSE(r.dev.Pins().pgdPulledLow); // PGD left released
    }
}

TEST(FtReadByte, WithoutAChipReadsThePullUp) {
    UsbRig r;
    ASSERT_TRUE(r.Open());
    EXPECT_EQ(r.ctx.surtan.ReadByte(), 0xFF);
}

TEST(FtReadByte, NoByteFromATransferNotBackWhole) {
    // A byte's 113 samples need more than 101 passes of one byte each; a device
    // gone answers nothing. Either way the read-back is not the chip's byte.
    for (auto fault : {sim::FtdiFault::ShortWrites, sim::FtdiFault::UnplugAfterTransfers}) {
        UsbRig r(nullptr, {.shortWriteLimit = 1});
        ASSERT_TRUE(r.Open());
        r.dev.SetFault(fault);
        EXPECT_EQ(r.ctx.surtan.ReadByte(), std::nullopt);
    }
}

TEST(FtDelay, CountsPollsAndNeverEndsBeforeItsWholeMillisecondsOnThePins) {
    // The poll rate is measured at open; afterwards the queue-status calls may
    // get faster, which must not shorten a wait below n div 100 ms. The wait
    // runs while the read-back is on its way: a delay costs its length or the
    // round trip, whichever is longer, not both.
    struct Case {
        uint16_t n;
        uint32_t ms;
        sim::Nanos pollCostAfterOpen;
        sim::Nanos latency;
    } cases[] = {
        {0, 0, 20 * sim::kUs, 1 * sim::kMs},     {99, 0, 20 * sim::kUs, 1 * sim::kMs},
        {120, 1, 20 * sim::kUs, 1 * sim::kMs},   {1200, 12, 20 * sim::kUs, 1 * sim::kMs},
        {120, 1, 4 * sim::kUs, 1 * sim::kMs},    {600, 6, 4 * sim::kUs, 1 * sim::kMs},
        {5000, 50, 2 * sim::kUs, 1 * sim::kMs},  {99, 0, 2 * sim::kUs, 1 * sim::kMs},
        {120, 1, 20 * sim::kUs, 500 * sim::kUs}, {120, 1, 20 * sim::kUs, 3 * sim::kMs},
        {1200, 12, 2 * sim::kUs, 3 * sim::kMs},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "n=" << c.n << " poll=" << c.pollCostAfterOpen << "ns latency="
                                        << c.latency << "ns");
        test::PinRecorder chip;
        sim::VirtualFtdiOptions o;
        o.readBackLatency = c.latency;
        UsbRig r(&chip, o);
        ASSERT_TRUE(r.Open());
        r.dev.SetPollCost(c.pollCostAfterOpen);
        // A programming pulse: PGC held high over the delay, among other samples.
        for (int i = 0; i < 2000; ++i) r.ctx.surtan.PutSample();
        r.ctx.surtan.SetClk(1);
        const auto writes = r.ctx.d2xx.counters.writes;
        const auto polls = r.ctx.d2xx.counters.queuePolls;
        const sim::Nanos before = r.clock.Now();
        EXPECT_TRUE(r.ctx.surtan.Delay(c.n));
        EXPECT_TRUE(r.ctx.ft.FtAnswered);
        const sim::Nanos took = r.clock.Now() - before;
        EXPECT_EQ(r.ctx.d2xx.counters.writes - writes, 1u);
        EXPECT_EQ(r.ctx.ft.FTIndxOutBuff, 0u);
        EXPECT_GE(r.ctx.d2xx.counters.queuePolls - polls, c.ms * r.ctx.ft.FtPollsPerMs + 1) << "the counted polls";
        // The wait starts once the 2002 samples are on the pins (815 us); a few
        // polls more to see the read-back.
        const sim::Nanos slack = 815 * sim::kUs + 5 * std::max<sim::Nanos>(c.pollCostAfterOpen, 20 * sim::kUs);
        EXPECT_LE(took, std::max(c.ms * sim::kMs, c.latency) + slack) << "the round trip overlaps the wait";
        r.ctx.surtan.SetClk(0);
        ASSERT_TRUE(r.ctx.surtan.Transfer().whole);
        ASSERT_EQ(chip.highTimes.size(), 1u);
        EXPECT_GE(chip.highTimes[0], c.ms * sim::kMs) << "PGC held high on the pins";
    }
}

TEST(FtDelay, AClockThatSteppedBackDoesNotStretchTheNextWait) {
    UsbRig r;
    ASSERT_TRUE(r.Open());
    // One delay on a clock ten seconds ahead, then the clock as it is.
    r.ctx.TickUs = [&r] { return r.clock.Now() / sim::kUs + 10'000'000; };
    EXPECT_TRUE(r.ctx.surtan.Delay(1200));
    r.ctx.TickUs = [&r] { return r.clock.Now() / sim::kUs; };
    const sim::Nanos before = r.clock.Now();
    EXPECT_TRUE(r.ctx.surtan.Delay(1200));
    EXPECT_GE(r.clock.Now() - before, 12 * sim::kMs);
    EXPECT_LT(r.clock.Now() - before, 100 * sim::kMs);
}

TEST(FtLines, PinImageFollowsTheLineLevels) {
    test::PinRecorder chip;
    UsbRig r(&chip);
    ASSERT_TRUE(r.Open());
    // As programmer detection leaves the lines: chip running, PGC high, PGD released.
    r.ctx.surtan.SetClk(1);
    r.ctx.surtan.SetDat(0);
    (void)r.ctx.surtan.SetVpp(0);
    EXPECT_EQ(r.dev.PinLatch(), 0x10);
    EXPECT_EQ(r.dev.Pins(), (sim::ProgrammerPins{sim::Mclr::Vdd, true, false}));
    r.ctx.surtan.SetClk(0);
    r.ctx.surtan.SetDat(1);
    (void)r.ctx.surtan.SetVpp(1);
    EXPECT_EQ(r.dev.PinLatch(), 0x10 | 0x04 | 0x40 | 0x20);
    EXPECT_EQ(r.dev.Pins(), (sim::ProgrammerPins{sim::Mclr::Vpp, false, true}));
    EXPECT_EQ(chip.mclrSeen.back(), sim::Mclr::Vpp);
}

TEST(FtLines, OnLptTheLinesAreTheKordelsAndTheSurtanIsLeftAlone) {
    UsbRig r;
    ASSERT_TRUE(r.ctx.surtan.Open()); // opened, but the interface is still LPT
    Line& line = r.ctx.line();
    EXPECT_EQ(line.Batch(), nullptr) << "the Kordel queues nothing";
    (void)line.Handshake(); // no Kordel on the port: no echo, no answer
    line.SetClk(1);
    line.SetDat(1);
    (void)line.SetVpp(1);
    (void)line.Delay(1200);
    EXPECT_EQ(r.ctx.ft.FTIndxOutBuff, 0u);
    EXPECT_EQ(r.ctx.ft.FtOutByte, 0x00);
    EXPECT_EQ(r.dev.Writes(), 0u);
}

} // namespace
} // namespace mrk
