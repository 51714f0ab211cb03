// The virtual module in ICSP programming mode: entry, the serial shifter,
// table-read timing and the device ID.
#include <gtest/gtest.h>

#include "sim/VirtualModule.h"
#include "sim/ModuleProbe.h"

namespace mrk::sim::test {
namespace {

VirtualModule::Options Chip(ChipModel chip, uint8_t revision = 0) {
    VirtualModule::Options o;
    o.chip = chip;
    o.revision = revision;
    return o;
}

struct EntryCase {
    const char* name;
    bool pgcHigh;
    bool pgdHigh;
    Nanos firstClockAfter;
    bool entered;
    const char* problem;
};

class Entry : public testing::TestWithParam<EntryCase> {};

TEST_P(Entry, NeedsPgcAndPgdLowAtVppAndAPauseBeforeTheFirstClock) {
    const EntryCase& c = GetParam();
    VirtualModule m(Chip(ChipModel::PIC18F4620));
    ModuleProbe probe(m);
    probe.Pins() = {Mclr::Low, c.pgcHigh, !c.pgdHigh};
    probe.Apply();
    probe.Pins().mclr = Mclr::Vpp;
    probe.Apply();
    const Nanos vppRise = probe.Now();
    probe.Pins().pgcHigh = false;
    probe.Pins().pgdPulledLow = true;
    probe.Apply(1);
    // The first clock at the chosen time is the first bit of a NOP.
    probe.Pins().pgcHigh = true;
    probe.Apply(vppRise + c.firstClockAfter - probe.Now());
    probe.SetClock(false);
    for (int i = 1; i < 20; ++i) probe.Clock(false);
    probe.SetTblptr(0x3FFFFF);
    const uint8_t devid2 = probe.ReadByte();

    EXPECT_EQ(m.InProgrammingMode(), c.entered);
    EXPECT_EQ(devid2, c.entered ? 0x0C : 0xFF); // an absent chip leaves PGD to the pull-up
    EXPECT_NE(m.LastEntryProblem().find(c.problem), std::string::npos) << m.LastEntryProblem();
    EXPECT_EQ(m.LastEntryProblem().empty(), c.entered);
}

INSTANTIATE_TEST_SUITE_P(
    VirtualModule, Entry,
    testing::Values(EntryCase{"LinesLow", false, false, 10 * kUs, true, ""},
                    EntryCase{"PgdHigh", false, true, 10 * kUs, false, "PGD was high"},
                    EntryCase{"PgcHigh", true, false, 10 * kUs, false, "PGC was high"},
                    EntryCase{"ClockTooSoon", false, false, 1 * kUs, false, "less than 2 us"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(VirtualModuleIcsp, LeavingVppEndsProgrammingMode) {
    VirtualModule m(Chip(ChipModel::PIC18F452));
    ModuleProbe probe(m);
    probe.Enter();
    EXPECT_TRUE(m.InProgrammingMode());
    probe.Exit();
    EXPECT_FALSE(m.InProgrammingMode());
    // Clocks with MCLR at VDD are not instructions.
    probe.Core(0x0E12);
    EXPECT_TRUE(m.Trace().empty());
}

TEST(VirtualModuleIcsp, LatchesCommandAndOperandLsbFirstOnFallingEdges) {
    VirtualModule m(Chip(ChipModel::PIC18F4620));
    ModuleProbe probe(m);
    probe.Enter();
    // Command 0000, operand MOVLW 0x5A: but every data bit is first shown inverted
    // while PGC rises and corrected while it is high; only the level at the fall counts.
    const uint16_t word = 0x0E5A;
    for (int i = 0; i < 20; ++i) {
        const bool bit = i >= 4 && ((word >> (i - 4)) & 1);
        probe.SetPgd(!bit);
        probe.SetClock(true);
        probe.SetPgd(bit);
        probe.SetClock(false);
    }
    probe.Core(0x6EF7); // MOVWF TBLPTRH
    ASSERT_EQ(m.Trace().size(), 2u);
    EXPECT_EQ(m.Trace()[0].command, 0x0);
    EXPECT_EQ(m.Trace()[0].operand, word);
    EXPECT_EQ(m.Tblptr(), 0x5A00u);

    probe.SetTblptr(0x123456 & 0x3FFFFF);
    EXPECT_EQ(m.Tblptr(), 0x123456u);
    probe.Core(0x2AF6); // INCF TBLPTRL
    EXPECT_EQ(m.Tblptr(), 0x123457u);
    probe.SetTblptr(0x0000FF);
    probe.Core(0x2AF6); // the low byte wraps without carry
    EXPECT_EQ(m.Tblptr(), 0x000000u);
}

struct SampleCase {
    const char* name;
    ModuleProbe::Sample when;
    bool correct;
};

class TableReadTiming : public testing::TestWithParam<SampleCase> {};

TEST_P(TableReadTiming, EachBitFollowsTheRisingEdgeOfItsClock) {
    VirtualModule m(Chip(ChipModel::PIC18F4620));
    m.Poke(0x0100, 0xA5);
    m.Poke(0x0101, 0x3C);
    ModuleProbe probe(m);
    probe.Enter();
    probe.SelectFlash();
    probe.SetTblptr(0x0100);
    const uint8_t first = probe.ReadByte(0x9, GetParam().when);
    const uint8_t second = probe.ReadByte(0x9, GetParam().when);
    if (GetParam().correct) {
        EXPECT_EQ(first, 0xA5);
        EXPECT_EQ(second, 0x3C);
    } else {
        EXPECT_NE(first, 0xA5);
        EXPECT_NE(second, 0x3C);
    }
    EXPECT_EQ(m.Tblptr(), 0x0102u);
    ASSERT_EQ(m.Trace().size(), 2u + 6u + 2u);
    EXPECT_EQ(m.Trace().back().command, 0x9);
    EXPECT_EQ(m.Trace().back().operand, 0x3C);
    EXPECT_EQ(m.Trace().back().tblptrBefore, 0x0101u);
    EXPECT_EQ(m.Trace().back().tblptrAfter, 0x0102u);
    // After the byte the line is released again.
    probe.Pins().pgdPulledLow = false;
    probe.Clock(true);
    EXPECT_TRUE(probe.Pgd());
}

INSTANTIATE_TEST_SUITE_P(VirtualModule, TableReadTiming,
                         testing::Values(SampleCase{"WhileClockHigh", ModuleProbe::Sample::WhileHigh, true},
                                         SampleCase{"AfterFallingEdge", ModuleProbe::Sample::AfterFall, true},
                                         SampleCase{"BeforeRisingEdge", ModuleProbe::Sample::BeforeRise, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(VirtualModuleIcsp, TableReadVariantsMoveTheTablePointer) {
    VirtualModule m(Chip(ChipModel::PIC18F452));
    for (uint32_t a = 0; a < 4; ++a) m.Poke(0x10 + a, static_cast<uint8_t>(0xB0 + a));
    ModuleProbe probe(m);
    probe.Enter();
    probe.SetTblptr(0x11);
    EXPECT_EQ(probe.ReadByte(0x8), 0xB1); // no change
    EXPECT_EQ(m.Tblptr(), 0x11u);
    EXPECT_EQ(probe.ReadByte(0xA), 0xB1); // post-decrement
    EXPECT_EQ(m.Tblptr(), 0x10u);
    EXPECT_EQ(probe.ReadByte(0xB), 0xB1); // pre-increment
    EXPECT_EQ(m.Tblptr(), 0x11u);
    EXPECT_EQ(probe.ReadByte(0x2), 0xB1); // shift out TABLAT again
    EXPECT_EQ(m.Tblptr(), 0x11u);
}

struct DevIdCase {
    ChipModel chip;
    uint8_t revision;
    uint8_t devid1, devid2;
};

class DeviceId : public testing::TestWithParam<DevIdCase> {};

TEST_P(DeviceId, CarriesChipAndRevision) {
    const DevIdCase& c = GetParam();
    VirtualModule m(Chip(c.chip, c.revision));
    ModuleProbe probe(m);
    probe.Enter();
    const auto id = probe.Read(0x3FFFFE, 2);
    EXPECT_EQ(id[0], c.devid1);
    EXPECT_EQ(id[1], c.devid2);
}

INSTANTIATE_TEST_SUITE_P(VirtualModule, DeviceId,
                         testing::Values(DevIdCase{ChipModel::PIC18F452, 0x00, 0x20, 0x04},
                                         DevIdCase{ChipModel::PIC18F452, 0x06, 0x26, 0x04},
                                         DevIdCase{ChipModel::PIC18F4620, 0x07, 0x07, 0x0C},
                                         DevIdCase{ChipModel::PIC18F4620, 0x1F, 0x1F, 0x0C}));

TEST(VirtualModuleIcsp, UnmappedAddressesReadZero) {
    VirtualModule m(Chip(ChipModel::PIC18F452));
    ModuleProbe probe(m);
    probe.Enter();
    EXPECT_EQ(probe.Read(0x8000, 2), (std::vector<uint8_t>{0x00, 0x00})); // above the 452's flash
    EXPECT_EQ(probe.Read(0x200008, 1), (std::vector<uint8_t>{0x00}));
    EXPECT_EQ(probe.Read(0x7FFF, 1), (std::vector<uint8_t>{0xFF}));
}

TEST(VirtualModuleIcsp, TraceKeepsOnlyTheMostRecentInstructions) {
    VirtualModule::Options o = Chip(ChipModel::PIC18F4620);
    o.traceLimit = 40;
    VirtualModule m(o);
    ModuleProbe probe(m);
    probe.Enter();
    for (int i = 0; i < 100; ++i) probe.Core(static_cast<uint16_t>(0x0E00 | i));
    EXPECT_LE(m.Trace().size(), 40u);
    EXPECT_EQ(m.Trace().back().operand, 0x0E63);
    m.ClearTrace();
    EXPECT_TRUE(m.Trace().empty());
}

} // namespace
} // namespace mrk::sim::test
