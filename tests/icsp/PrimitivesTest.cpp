// ICSP primitives as the lines show them: bit order, clocks, the programming pulse.
#include <gtest/gtest.h>

#include "core/Context.h"
#include "icsp/Icsp.h"
#include "icsp/PinRecorder.h"
#include "sim/VirtualKordel.h"
#include "support/RecordingHost.h"
#include "transport/Kordel.h"
#include "transport/PortBackendRef.h"

namespace mrk {
namespace {

class Primitives : public ::testing::Test {
protected:
    Primitives() : kordel(clock, &pins, {}), ctx(host) {
        ctx.kordel.UsePortBackend(std::make_unique<PortBackendRef>(kordel));
    }
    static std::vector<int> Bits(uint32_t value, int count) {
        std::vector<int> v;
        for (int i = 0; i < count; ++i) v.push_back((value >> i) & 1);
        return v;
    }
    // The 20-bit frames (4 command + 16 operand bits) seen on the lines, as values.
    std::vector<std::pair<int, int>> Frames() const {
        std::vector<std::pair<int, int>> out;
        for (size_t i = 0; i + 20 <= pins.latched.size(); i += 20) {
            int c = 0, op = 0;
            for (int b = 0; b < 4; ++b) c |= pins.latched[i + b] << b;
            for (int b = 0; b < 16; ++b) op |= pins.latched[i + 4 + b] << b;
            out.emplace_back(c, op);
        }
        return out;
    }
    sim::SimClock clock;
    test::PinRecorder pins;
    sim::VirtualKordel kordel;
    test::RecordingHost host;
    Context ctx;
};

TEST_F(Primitives, CoreInstructionSendsCommandThenLowByteThenOpcodeLsbFirst) {
    SendCoreInstr(ctx.line(), 0x8E, 0xA6);
    std::vector<int> expect{0, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0, 1, 0, 1, 1, 1, 0, 0, 0, 1};
    EXPECT_EQ(pins.latched, expect);
}

TEST_F(Primitives, SetTblPtrToDeviceIdSendsSixInstructionsLowByteFirst) {
    SetTblPtr(ctx.line(), 0x3FFFFE);
    const std::vector<std::pair<int, int>> expect{
        {0, 0x0EFE}, {0, 0x6EF6}, {0, 0x0EFF}, {0, 0x6EF7}, {0, 0x0E3F}, {0, 0x6EF8}};
    EXPECT_EQ(Frames(), expect);
}

TEST_F(Primitives, CommandAndOperandBitOrder) {
    SendCommand(ctx.line(), 0x9, false);
    SendOperand(ctx.line(), 0x1234);
    auto expect = Bits(0x9, 4);
    auto op = Bits(0x1234, 16);
    expect.insert(expect.end(), op.begin(), op.end());
    EXPECT_EQ(pins.latched, expect);
}

TEST_F(Primitives, ProgrammingPulseHoldsOnlyTheFourthClockHigh) {
    SendCommand(ctx.line(), 0x0, true);
    ASSERT_EQ(pins.highTimes.size(), 4u);
    for (int i = 0; i < 3; ++i) EXPECT_LT(pins.highTimes[i], 100 * sim::kUs) << i;
    // Delay(120) is 121 echo cycles of about 10 us: at least the chip's 1 ms.
    EXPECT_GE(pins.highTimes[3], 1 * sim::kMs);
    EXPECT_LT(pins.highTimes[3], 2 * sim::kMs);
}

TEST_F(Primitives, ReadTableByteAssemblesLsbFirstAfterEightLeadInClocks) {
    pins.driveAfterFalling = 8;
    for (int b : {1, 0, 1, 0, 0, 1, 0, 1}) pins.toDrive.push_back(b);
    EXPECT_EQ(ReadTableByte(ctx.line()), 0xA5);
    EXPECT_EQ(pins.latched.size(), 16u);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(pins.latched[i], 0) << "lead-in clock " << i << " with PGD low";
}

TEST_F(Primitives, BulkEraseValuePerChip) {
    struct Case {
        bool is4620;
        int value;
    } cases[] = {{true, 0x0F87}, {false, 0x0080}};
    for (const auto& c : cases) {
        pins.latched.clear();
        ctx.SetChipIndicators(c.is4620, false);
        BulkErase(ctx.line(), ctx.prog);
        const auto f = Frames();
        ASSERT_GE(f.size(), 9u);
        EXPECT_EQ(f[6], std::make_pair(0xC, c.value));
        EXPECT_EQ(f[7], std::make_pair(0x0, 0x0000));
        EXPECT_EQ(f[8], std::make_pair(0x0, 0x0000));
    }
}

TEST_F(Primitives, ExitLeavesChipRunningWithClockHighAndDataReleased) {
    EnterProgModeB(ctx.line());
    EXPECT_EQ(pins.mclrSeen.back(), sim::Mclr::Vpp);
    ExitProgMode(ctx.line());
    const auto p = kordel.Pins();
    EXPECT_EQ(p.mclr, sim::Mclr::Vdd);
    EXPECT_TRUE(p.pgcHigh);
    EXPECT_FALSE(p.pgdPulledLow);
}

} // namespace
} // namespace mrk
