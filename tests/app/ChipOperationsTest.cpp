// The station's operations on the chip: what their outcomes carry beyond the
// window's own commands (ChipCommandsTest) — the whole memory read, ID words
// given by the user and reserved first.
#include <gtest/gtest.h>

#include "app/ChipOperations.h"
#include "app/ChipRoutines.h"
#include "app/CommandRig.h"
#include "app/RunObserver.h"
#include "icsp/OpenProgrammer.h"

namespace mrk {
namespace {

using sim::BenchKind;
using sim::ChipModel;
using test::CommandRig;

TEST(ChipOperations, AWholeReadGivesEveryWordOfTheChipOnBothBenches) {
    for (auto kind : {BenchKind::VirtualLpt, BenchKind::VirtualUsb}) {
        SCOPED_TRACE(test::KindName(kind));
        CommandRig r(CommandRig::Factory(ChipModel::PIC18F452, kind));
        ASSERT_TRUE(OpenProgrammer(r.ctx));
        r.Module().Poke(0x7FFE, 0x34); // the last word, far beyond the boot region
        r.Module().Poke(0x7FFF, 0x12);
        const MemoryReadOutcome read = ReadProgramMemory(r.ctx, true);
        ASSERT_TRUE(read);
        EXPECT_EQ(read.words, 0x4000u);
        EXPECT_EQ(read.wordsRead, read.words);
        ASSERT_EQ(read.memory.size(), 0x8000u);
        EXPECT_EQ(read.memory[0x7FFE], 0x34);
        EXPECT_EQ(read.memory[0x7FFF], 0x12);
        EXPECT_EQ(read.memory[0], r.Module().Peek(0)) << "the boot loader's first byte";
        EXPECT_FALSE(r.ctx.ind.SpeedButton21) << "the range toggle is up again";
        EXPECT_EQ(r.ctx.image.ViewSource, MemorySource::Chip) << "the pages show the chip's words";
    }
}

// A journal that refuses every number given by hand.
struct RefusingJournal : RunObserver {
    int asked = 0;
    bool RunStarting(Context&, RunKind, uint32_t) override { return true; }
    void StepDone(Context&, int, const char*, bool) override {}
    void RunEnded(Context&, bool, uint32_t) override {}
    bool NumberWriting(Context&, uint16_t) override {
        ++asked;
        return false;
    }
};

TEST(ChipOperations, IdWordsGivenByTheUserAreReservedFirstTheModulesOwnAreNot) {
    CommandRig r(CommandRig::Blank(ChipModel::PIC18F4620, BenchKind::VirtualLpt));
    ASSERT_TRUE(OpenProgrammer(r.ctx));
    RefusingJournal journal;
    r.ctx.runObserver = &journal;
    const uint64_t before = test::ProgrammerTraffic(r.bench, BenchKind::VirtualLpt);

    const ChipOutcome refused = WriteIdentity(r.ctx, 0x04D2, 0xA405, 0xFFFF, true);
    EXPECT_EQ(refused.result, ChipResult::NotBegun);
    EXPECT_EQ(journal.asked, 1);
    EXPECT_EQ(test::ProgrammerTraffic(r.bench, BenchKind::VirtualLpt), before) << "no line moved";
    EXPECT_EQ(r.IdWord(1), 0xFFFF);

    // The erased word carries no number: nothing to reserve.
    EXPECT_TRUE(WriteIdentity(r.ctx, 0xFFFF, 0xFFFF, 0xFFFF, true));
    // WR ID writes back what RD ID read from the module: not asked.
    EXPECT_TRUE(WriteIdentity(r.ctx, 0x04D2, 0xA405, 0xFFFF, false));
    EXPECT_EQ(journal.asked, 1);
    r.Settle();
    EXPECT_EQ(r.IdWord(1), 0x04D2);
    EXPECT_EQ(r.IdWord(2), 0xA405);
    r.ctx.runObserver = nullptr;
}

} // namespace
} // namespace mrk
