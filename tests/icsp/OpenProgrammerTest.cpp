// Programmer detection and chip identification on the virtual LPT bench.
#include <gtest/gtest.h>

#include "core/Context.h"
#include "app/ChipRoutines.h"
#include "sim/Bench.h"
#include "support/RecordingHost.h"

namespace mrk {
namespace {

using sim::BenchKind;
using sim::ChipModel;

const char* kLptOpened = "Программатор Kordel успешно открыт!";
const std::vector<std::string> kNoProgrammer{
    "Программатор Surtan к USB не подключен.", "Программатор Kordel к LPT не подключен.",
    "Завершите программу.Подключите программатор к USB или к LPT.Запустите программу вновь."};

struct Rig {
    explicit Rig(sim::BenchOptions o) : bench(o), ctx(host) { bench.Install(ctx); }
    sim::Bench bench;
    test::RecordingHost host;
    Context ctx;
};

sim::BenchOptions Lpt(std::optional<ChipModel> chip, uint8_t revision = 0) {
    sim::BenchOptions o;
    o.kind = BenchKind::VirtualLpt;
    o.chip = chip;
    o.revision = revision;
    return o;
}

TEST(OpenProgrammer, IdentifiesEachChipWhateverItsRevision) {
    struct Case {
        ChipModel chip;
        uint8_t revision;
        const char* label2;
        bool is4620;
        uint32_t chipWords;
        uint16_t bootWords;
    } cases[] = {
        {ChipModel::PIC18F4620, 0x00, "Devid1=0 Devid2=C a=0", true, 0x8000, 0x400},
        {ChipModel::PIC18F4620, 0x1F, "Devid1=1F Devid2=C a=0", true, 0x8000, 0x400},
        {ChipModel::PIC18F452, 0x1F, "Devid1=3F Devid2=4 a=0", false, 0x4000, 0x180},
        {ChipModel::PIC18F452, 0x02, "Devid1=22 Devid2=4 a=0", false, 0x4000, 0x180},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label2);
        Rig r(Lpt(c.chip, c.revision));
        ASSERT_TRUE(OpenProgrammer(r.ctx));
        EXPECT_EQ(r.host.log, std::vector<std::string>{kLptOpened});
        EXPECT_EQ(r.host.label2, c.label2);
        EXPECT_TRUE(r.host.messages.empty());
        EXPECT_TRUE(r.ctx.ind.CheckBox1);
        EXPECT_FALSE(r.ctx.ind.CheckUSB);
        EXPECT_EQ(r.ctx.ind.Prog4520, c.is4620);
        EXPECT_EQ(r.ctx.ind.CheckBox2, !c.is4620);
        EXPECT_EQ(r.ctx.prog.ChipWords, c.chipWords);
        EXPECT_EQ(r.ctx.prog.BootWords, c.bootWords);
        EXPECT_TRUE(r.ctx.prog.ProgOpenReported);
    }
}

TEST(OpenProgrammer, WhatTheChipReceivesToReadItsId) {
    Rig r(Lpt(ChipModel::PIC18F4620));
    ASSERT_TRUE(OpenProgrammer(r.ctx));
    const auto& t = r.bench.Module()->Trace();
    // Write-mode register cleared, EEPGD set, CFGS cleared, pointer at DEVID1, two reads.
    std::vector<std::pair<int, int>> got;
    for (const auto& rec : t) got.emplace_back(rec.command, rec.command == 0x9 ? -1 : rec.operand);
    const std::vector<std::pair<int, int>> expect{
        {0, 0x0E06}, {0, 0x6EF6}, {0, 0x0E00}, {0, 0x6EF7}, {0, 0x0E3C}, {0, 0x6EF8},
        {0xC, 0x0000}, {0, 0x8EA6}, {0, 0x9CA6},
        {0, 0x0EFE}, {0, 0x6EF6}, {0, 0x0EFF}, {0, 0x6EF7}, {0, 0x0E3F}, {0, 0x6EF8},
        {0x9, -1}, {0x9, -1}};
    EXPECT_EQ(got, expect);
    ASSERT_EQ(t.size(), expect.size());
    EXPECT_EQ(t[15].tblptrBefore, 0x3FFFFEu);
    EXPECT_EQ(t[16].tblptrAfter, 0x400000u & 0x3FFFFFu);
    EXPECT_FALSE(r.bench.Module()->InProgrammingMode());
}

TEST(OpenProgrammer, NoChipAnsweringGivesUpAfter101Attempts) {
    Rig r(Lpt(std::nullopt));
    r.ctx.prog.ChipWords = 0x4000;
    r.ctx.prog.BootWords = 0x180;
    EXPECT_FALSE(OpenProgrammer(r.ctx));
    EXPECT_EQ(r.host.log, std::vector<std::string>{kLptOpened});
    EXPECT_EQ(r.host.label2, "Devid1=FF Devid2=FF a=101");
    ASSERT_EQ(r.host.messages.size(), 1u);
    EXPECT_EQ(r.host.messages[0].text, "Не верно прочитался ID процессора");
    EXPECT_EQ(r.host.messages[0].buttons, MsgButtons::Cancel);
    EXPECT_EQ(r.host.messages[0].kind, MsgKind::Information);
    EXPECT_FALSE(r.ctx.ind.Prog4520);
    EXPECT_FALSE(r.ctx.ind.CheckBox2);
    EXPECT_EQ(r.ctx.prog.ChipWords, 0x4000u); // sizes keep their previous values
    EXPECT_EQ(r.ctx.prog.BootWords, 0x180u);
}

TEST(OpenProgrammer, UnknownDeviceIdIsNotRecognised) {
    // Bits 7..5 of DEVID1 must be 000 for the 4620: 0x40 is another part.
    Rig r(Lpt(ChipModel::PIC18F4620));
    r.bench.Module()->Poke(0x3FFFFE, 0x40);
    EXPECT_FALSE(OpenProgrammer(r.ctx));
    EXPECT_EQ(r.host.label2, "Devid1=40 Devid2=C a=101");
}

TEST(OpenProgrammer, NoProgrammerOnEitherPortSaysSoAndLeavesTheChipAlone) {
    auto o = Lpt(ChipModel::PIC18F4620);
    o.kordelFault = sim::KordelFault::Absent;
    Rig r(o);
    EXPECT_FALSE(OpenProgrammer(r.ctx));
    EXPECT_EQ(r.host.log, kNoProgrammer);
    EXPECT_TRUE(r.bench.Module()->Trace().empty());
    EXPECT_FALSE(r.ctx.prog.ProgOpenReported);
    EXPECT_FALSE(r.ctx.ind.CheckBox1);
    EXPECT_FALSE(r.ctx.ind.CheckUSB);
}

TEST(OpenProgrammer, EchoFaultsMeanNoProgrammer) {
    for (auto fault : {sim::KordelFault::EchoStuckHigh, sim::KordelFault::EchoStuckLow}) {
        auto o = Lpt(ChipModel::PIC18F4620);
        o.kordelFault = fault;
        Rig r(o);
        EXPECT_FALSE(OpenProgrammer(r.ctx));
        EXPECT_EQ(r.host.log, kNoProgrammer);
    }
}

TEST(OpenProgrammer, LaterCallsReportNothingAboutTheProgrammer) {
    Rig r(Lpt(ChipModel::PIC18F452));
    ASSERT_TRUE(OpenProgrammer(r.ctx));
    ASSERT_TRUE(OpenProgrammer(r.ctx));
    EXPECT_EQ(r.host.log, std::vector<std::string>{kLptOpened});
}

TEST(OpenProgrammer, UnpluggedBetweenTwoCommandsEndsAtTheFirstSilentAttempt) {
    // Pulled out after a successful open, or gone after exactly the port accesses
    // of the first command: the next open must not run 101 attempts of
    // timed-out handshakes (about 27 minutes), but end as the attempts end.
    for (auto chip : {ChipModel::PIC18F452, ChipModel::PIC18F4620}) {
        for (bool pulledOut : {true, false}) {
            SCOPED_TRACE(std::string(chip == ChipModel::PIC18F452 ? "452" : "4620") +
                         (pulledOut ? ", pulled out" : ", unplugged after N accesses"));
            auto o = Lpt(chip);
            uint64_t accesses = 0;
            {
                Rig first(o);
                ASSERT_TRUE(OpenProgrammer(first.ctx));
                accesses = first.bench.Kordel().Reads() + first.bench.Kordel().Writes();
            }
            if (!pulledOut) {
                o.kordelFault = sim::KordelFault::UnplugAfterAccesses;
                o.kordelUnplugAfter = accesses;
            }
            Rig r(o);
            ASSERT_TRUE(OpenProgrammer(r.ctx));
            const auto chipIndicators = r.ctx.ind;
            if (pulledOut) r.bench.Kordel().SetFault(sim::KordelFault::Absent);
            const sim::Nanos t0 = r.bench.Clock().Now();
            EXPECT_FALSE(OpenProgrammer(r.ctx));
            EXPECT_LT(r.bench.Clock().Now() - t0, 1000 * sim::kMs);
            EXPECT_EQ(r.host.log, std::vector<std::string>{kLptOpened}) << "no \"не подключен\" lines";
            ASSERT_EQ(r.host.messages.size(), 1u);
            EXPECT_EQ(r.host.messages[0].text, "Не верно прочитался ID процессора");
            EXPECT_EQ(r.host.messages[0].buttons, MsgButtons::Cancel);
            EXPECT_EQ(r.host.label2, "Devid1=0 Devid2=0 a=1");
            EXPECT_FALSE(r.ctx.ind.Prog4520);
            EXPECT_FALSE(r.ctx.ind.CheckBox2);
            EXPECT_EQ(r.ctx.ind.CheckBox1, chipIndicators.CheckBox1) << "still the LPT programmer";
            EXPECT_FALSE(r.bench.Module()->InProgrammingMode());
        }
    }
}

// A module whose PGD contact is bad for its first few entries into programming mode.
class FlakyContact : public sim::PinTarget {
public:
    FlakyContact(sim::PinTarget& chip, int badEntries) : chip_(chip), bad_(badEntries) {}
    void Drive(sim::Nanos t, const sim::ProgrammerPins& p) override {
        if (p.mclr == sim::Mclr::Vpp && last_ != sim::Mclr::Vpp) ++entries_;
        last_ = p.mclr;
        chip_.Drive(t, p);
    }
    std::optional<bool> PgdDrive(sim::Nanos t) override {
        auto d = chip_.PgdDrive(t);
        return entries_ <= bad_ ? std::nullopt : d;
    }

private:
    sim::PinTarget& chip_;
    int bad_;
    int entries_ = 0;
    sim::Mclr last_ = sim::Mclr::Vdd;
};

TEST(OpenProgrammer, RecognisedOnTheThirdAttemptCountsTwoFailures) {
    Rig r(Lpt(ChipModel::PIC18F4620));
    FlakyContact flaky(*r.bench.Module(), 2);
    r.bench.Kordel().SetTarget(&flaky);
    ASSERT_TRUE(OpenProgrammer(r.ctx));
    EXPECT_EQ(r.host.label2, "Devid1=0 Devid2=C a=2");
}

} // namespace
} // namespace mrk
