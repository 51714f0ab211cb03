// Line operations on the LPT side, against a scripted port.
#include <gtest/gtest.h>

#include "core/Context.h"
#include "support/RecordingHost.h"
#include "transport/Kordel.h"
#include "transport/FakePort.h"

namespace mrk {
namespace {

constexpr uint16_t kData = 0x378, kStatus = 0x379, kControl = 0x37A;
constexpr uint8_t kEcho = 0x40; // status bit: echo high

class LptLines : public ::testing::Test {
protected:
    LptLines() : ctx(host) {
        auto p = std::make_unique<test::FakePort>(log);
        port = p.get();
        ctx.kordel.UsePortBackend(std::move(p));
    }
    // Status reads between consecutive data-register writes during one handshake.
    std::vector<int> ReadsPerPhase() const {
        std::vector<int> phases{0};
        for (const auto& a : log) {
            if (!a.write && a.port == kStatus) ++phases.back();
            if (a.write && a.port == kData) phases.push_back(0);
        }
        phases.pop_back(); // after the last write
        return phases;
    }
    std::vector<uint8_t> DataWrites() const {
        std::vector<uint8_t> v;
        for (const auto& a : log)
            if (a.write && a.port == kData) v.push_back(a.value);
        return v;
    }
    test::RecordingHost host;
    Context ctx;
    std::vector<test::PortAccess> log;
    test::FakePort* port = nullptr;
};

TEST_F(LptLines, HandshakeWithStuckEchoRunsOutTwoPhasesAndIsNotAnswered) {
    struct Case {
        const char* name;
        uint8_t status;
        std::vector<int> reads;
    } cases[] = {
        // Echo stuck high: phases 1 and 3 wait for "low" in vain, 2 and 4 end at once.
        {"stuck high", kEcho, {kHandshakePhaseReads, 1, kHandshakePhaseReads, 1}},
        {"stuck low", 0x00, {1, kHandshakePhaseReads, 1, kHandshakePhaseReads}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        port->status = [s = c.status](size_t, uint8_t) { return s; };
        ctx.portProg.ProgAnswered = true;
        ctx.line().Handshake();
        EXPECT_FALSE(ctx.portProg.ProgAnswered);
        EXPECT_EQ(ReadsPerPhase(), c.reads);
        // Request bit (data bit 1) goes 1,0,1,0: two pulses, ending at 0.
        std::vector<uint8_t> req;
        for (uint8_t d : DataWrites()) req.push_back((d >> 1) & 1);
        EXPECT_EQ(req, (std::vector<uint8_t>{1, 0, 1, 0}));
    }
}

TEST_F(LptLines, OnlyTheSecondPulseCounts) {
    // The first request pulse is never echoed (phase 2 runs out); the echo
    // follows the second one: phases 3 and 4 see their levels.
    port->status = [&](size_t, uint8_t data) -> uint8_t {
        const auto writes = DataWrites().size();
        return (writes >= 2 && (data & 0x02)) ? kEcho : 0x00;
    };
    ctx.line().Handshake();
    EXPECT_TRUE(ctx.portProg.ProgAnswered);
    EXPECT_EQ(ReadsPerPhase(), (std::vector<int>{1, kHandshakePhaseReads, 1, 1}));
}

TEST_F(LptLines, SetVppSwitchesInTwoStagesAndKeepsOtherBits) {
    ctx.line().SetDat(1); // bit 0 set, and bit 3 from the initial shadow
    log.clear();
    port->status = [](size_t, uint8_t data) -> uint8_t { return (data & 0x02) ? kEcho : 0x00; };
    ctx.line().SetVpp(1);
    const auto w = DataWrites();
    ASSERT_GE(w.size(), 3u);
    EXPECT_EQ(w.front(), 0x08 | 0x04 | 0x01); // first stage only
    EXPECT_EQ(w.back(), 0x08 | 0x10 | 0x01);  // programming voltage only
    for (uint8_t d : w) {
        EXPECT_EQ(d & 0x09, 0x09) << "bit 3 and PGD bit must stay";
        EXPECT_EQ(d & 0xE0, 0x00);
    }
    // The settle time in between: Delay(4000), i.e. 4001 echo cycles of 4 request writes.
    EXPECT_EQ(w.size(), 2u + 4001u * 4u);
    log.clear();
    ctx.line().SetVpp(0);
    EXPECT_EQ(DataWrites(), (std::vector<uint8_t>{0x09}));
}

TEST_F(LptLines, ClockWritesTheWholeControlByte) {
    ctx.line().SetClk(1);
    ctx.line().SetClk(0xFF); // only bit 0 counts
    ctx.line().SetClk(0);
    std::vector<uint8_t> ctl;
    for (const auto& a : log)
        if (a.write && a.port == kControl) ctl.push_back(a.value);
    EXPECT_EQ(ctl, (std::vector<uint8_t>{1, 1, 0}));
}

TEST_F(LptLines, DelayRunsNPlusOneEchoCyclesWithoutTouchingTheFlag) {
    port->status = [](size_t, uint8_t data) -> uint8_t { return (data & 0x02) ? kEcho : 0x00; };
    for (uint16_t n : {0, 1, 120}) {
        log.clear();
        ctx.portProg.ProgAnswered = true;
        EXPECT_TRUE(ctx.line().Delay(n));
        EXPECT_EQ(DataWrites().size(), 4u * (n + 1u)) << n;
        EXPECT_TRUE(ctx.portProg.ProgAnswered);
    }
}

TEST_F(LptLines, DelayEndsAtTheFirstCycleWithoutEcho) {
    // The echo follows the request for the first two cycles, then sticks high.
    port->status = [&](size_t, uint8_t data) -> uint8_t {
        return (DataWrites().size() > 8 || (data & 0x02)) ? kEcho : 0x00;
    };
    ctx.portProg.ProgAnswered = true;
    EXPECT_FALSE(ctx.line().Delay(4000));
    EXPECT_EQ(DataWrites().size(), 4u * 3u) << "two echoed cycles and the one that was not";
    EXPECT_FALSE(ctx.portProg.ProgAnswered);
}

TEST_F(LptLines, DataLineAndStatusInputsAreActiveLow) {
    ctx.line().SetDat(1);
    EXPECT_EQ(DataWrites().back() & 0x01, 0x01);
    ctx.line().SetDat(0);
    EXPECT_EQ(DataWrites().back() & 0x01, 0x00);
    ctx.portProg.EchoAnswered = true; // a Kordel on the port
    port->status = [](size_t, uint8_t) -> uint8_t { return 0x00; };
    EXPECT_EQ(ctx.line().GetDat(), LineLevel::High);
    EXPECT_EQ(ctx.kordel.RdZad(), 1);
    port->status = [](size_t, uint8_t) -> uint8_t { return 0x10 | 0x40; };
    EXPECT_EQ(ctx.line().GetDat(), LineLevel::Low);
    EXPECT_EQ(ctx.kordel.RdZad(), 0);
}

TEST_F(LptLines, APgdReadAfterAnUnansweredEchoIsNoAnswer) {
    // The Kordel echoes (the status echo bit follows the request bit) and shows
    // PGD low; then it is pulled out: the port's inputs float high, which would
    // read as PGD low, the boot loader's "ready".
    bool plugged = true;
    port->status = [&](size_t, uint8_t data) -> uint8_t {
        if (!plugged) return 0xFF;
        return static_cast<uint8_t>(((data & 0x02) ? kEcho : 0x00) | 0x10);
    };
    EXPECT_TRUE(ctx.line().Handshake());
    EXPECT_EQ(ctx.line().GetDat(), LineLevel::Low);
    EXPECT_TRUE(ctx.line().ClkPulse());
    EXPECT_EQ(ctx.line().GetDat(), LineLevel::Low);
    plugged = false;
    EXPECT_FALSE(ctx.line().ClkPulse());
    EXPECT_EQ(ctx.line().GetDat(), LineLevel::NoAnswer);
    EXPECT_FALSE(ctx.line().Delay(10));
    EXPECT_EQ(ctx.line().GetDat(), LineLevel::NoAnswer);
    // Plugged in again, the next answered echo brings the level back.
    plugged = true;
    EXPECT_TRUE(ctx.line().Handshake());
    EXPECT_EQ(ctx.line().GetDat(), LineLevel::Low);
}

TEST_F(LptLines, RequestAndEchoAlwaysUseTheLptPort) {
    ctx.SetInterfaceUsb(true);
    ctx.kordel.WrZad(0);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().port, kData);
    EXPECT_EQ(log.back().value & 0x02, 0x02);
    (void)ctx.kordel.RdZad();
    EXPECT_EQ(log.back().port, kStatus);
}

TEST_F(LptLines, AStatusRegisterThatCannotBeReadIsNoAnswer) {
    // The Kordel answers; then the port is taken away from under the program
    // (an adapter pulled out): its reads fail, and a failed read is no level
    // and no echo, even right after an answered echo cycle.
    bool readable = true;
    port->status = [&](size_t, uint8_t data) -> std::optional<uint8_t> {
        if (!readable) return std::nullopt;
        return static_cast<uint8_t>(((data & 0x02) ? kEcho : 0x00) | 0x10);
    };
    EXPECT_TRUE(ctx.line().Handshake());
    EXPECT_EQ(ctx.line().GetDat(), LineLevel::Low);
    readable = false;
    EXPECT_EQ(ctx.line().GetDat(), LineLevel::NoAnswer);
    EXPECT_EQ(ctx.kordel.RdZad(), std::nullopt);
    EXPECT_FALSE(ctx.line().Handshake());
    EXPECT_FALSE(ctx.portProg.ProgAnswered);
}

TEST_F(LptLines, NoPortAccessReadsNothing) {
    ctx.kordel.RemoveGiveIo();
    EXPECT_FALSE(ctx.line().Handshake()); // nothing read: no echo, nothing answers, nothing crashes
    EXPECT_FALSE(ctx.portProg.ProgAnswered);
    EXPECT_EQ(ctx.line().GetDat(), LineLevel::NoAnswer);
}

} // namespace
} // namespace mrk
