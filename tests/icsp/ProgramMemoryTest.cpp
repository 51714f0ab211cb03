// Boot-region write with verify, reads and compare, against the virtual module.
#include <gtest/gtest.h>

#include <algorithm>

#include "icsp/BenchRig.h"
#include "app/ChipRoutines.h"

namespace mrk {
namespace {

using sim::ChipModel;
using test::BenchRig;

// A boot image that differs from word to word.
void FillBootPattern(BenchRig& r) {
    for (uint32_t w = 0; w < r.ctx.prog.BootWords; ++w) r.SetRefWord(w, static_cast<uint16_t>(0x1000 + w * 7));
}

int CountCore(const sim::VirtualModule& m, uint16_t instruction) {
    return static_cast<int>(std::count_if(m.Trace().begin(), m.Trace().end(), [&](const sim::IcspRecord& r) {
        return r.command == 0x0 && r.operand == instruction;
    }));
}

int CountCommand(const sim::VirtualModule& m, uint8_t command) {
    return static_cast<int>(std::count_if(m.Trace().begin(), m.Trace().end(),
                                          [&](const sim::IcspRecord& r) { return r.command == command; }));
}

class ProgramMemory : public ::testing::TestWithParam<ChipModel> {};

TEST_P(ProgramMemory, WritesTheBootRegionReadsItBackAndComparesEqual) {
    BenchRig r(GetParam());
    FillBootPattern(r);
    ASSERT_TRUE(WriteBoot(r.ctx));
    EXPECT_EQ(r.host.log, std::vector<std::string>{"Прогр. OK"});
    for (uint32_t w = 0; w < r.ctx.prog.BootWords; ++w) ASSERT_EQ(r.ChipWord(w), 0x1000 + w * 7) << w;
    EXPECT_EQ(r.ChipWord(r.ctx.prog.BootWords), 0xFFFF) << "nothing above the boot region";
    // One row erase per row of the boot region.
    EXPECT_EQ(CountCore(r.Module(), 0x82A6), static_cast<int>(r.ctx.prog.BootWords / 32));

    r.host.log.clear();
    ReadBoot(r.ctx);
    EXPECT_TRUE(CompareChip(r.ctx));
    EXPECT_EQ(r.host.log, std::vector<std::string>{"Сравнение ОК"});
}

TEST_P(ProgramMemory, AnEqualBootRegionIsOnlyRead) {
    BenchRig r(GetParam());
    FillBootPattern(r);
    for (uint32_t w = 0; w < r.ctx.prog.BootWords; ++w) {
        r.Module().Poke(2 * w, r.ctx.image.BuffEt[2 * w]);
        r.Module().Poke(2 * w + 1, r.ctx.image.BuffEt[2 * w + 1]);
    }
    ASSERT_TRUE(WriteBoot(r.ctx));
    EXPECT_EQ(CountCore(r.Module(), 0x82A6), 0);
    EXPECT_EQ(CountCommand(r.Module(), 0xF), 0);
    EXPECT_EQ(r.host.log, std::vector<std::string>{"Прогр. OK"});
}

TEST_P(ProgramMemory, CompareListsEveryDifferenceInTheChosenRange) {
    BenchRig r(GetParam());
    // The chip is erased; the reference differs at one boot word and one update word.
    r.SetRefWord(0x10, 0x1234);
    r.SetRefWord(r.ctx.prog.BootWords + 1, 0xBEEF);
    ReadBoot(r.ctx);
    EXPECT_FALSE(CompareChip(r.ctx));
    EXPECT_EQ(r.host.log, (std::vector<std::string>{"020: Эт.1234 Рез.FFFF", "Кол. ошибок. = 1 "}));

    r.host.log.clear();
    r.ctx.ind.SpeedButton21 = true;
    ReadAll(r.ctx);
    EXPECT_FALSE(CompareChip(r.ctx));
    ASSERT_EQ(r.host.log.size(), 3u);
    EXPECT_EQ(r.host.log[2], "Кол. ошибок. = 2 ");
}

INSTANTIATE_TEST_SUITE_P(BothChips, ProgramMemory, ::testing::Values(ChipModel::PIC18F452, ChipModel::PIC18F4620),
                         [](const auto& info) { return std::string(test::ChipName(info.param)); });

TEST(ProgramMemory452, OneDifferingWordRewritesItsRowOnceInEightGroups) {
    BenchRig r(ChipModel::PIC18F452);
    FillBootPattern(r);
    for (uint32_t w = 0; w < r.ctx.prog.BootWords; ++w) {
        r.Module().Poke(2 * w, r.ctx.image.BuffEt[2 * w]);
        r.Module().Poke(2 * w + 1, r.ctx.image.BuffEt[2 * w + 1]);
    }
    r.SetRefWord(0x45, 0x0123);
    ASSERT_TRUE(WriteBoot(r.ctx));
    EXPECT_EQ(r.ChipWord(0x45), 0x0123);
    EXPECT_EQ(CountCore(r.Module(), 0x82A6), 1);
    EXPECT_EQ(CountCommand(r.Module(), 0xF), 8);  // 8 groups ...
    EXPECT_EQ(CountCommand(r.Module(), 0xD), 24); // ... of 4 words
    // The erase was aimed at byte 0x80, and the first read after it starts again at word 0x40.
    const auto& t = r.Module().Trace();
    auto wr = std::find_if(t.begin(), t.end(), [](const auto& x) { return x.command == 0 && x.operand == 0x82A6; });
    ASSERT_NE(wr, t.end());
    EXPECT_EQ(wr->tblptrBefore, 0x80u);
    auto firstReadAfter = std::find_if(wr, t.end(), [](const auto& x) { return x.command == 0x9; });
    ASSERT_NE(firstReadAfter, t.end());
    EXPECT_EQ(firstReadAfter->tblptrBefore, 0x80u);
}

// On USB the verify reads a row at a time: the same word, the same messages.
TEST(ProgramMemory452, ARowThatDoesNotTakeEndsTheWrite) {
    for (auto kind : {sim::BenchKind::VirtualLpt, sim::BenchKind::VirtualUsb}) {
        SCOPED_TRACE(kind == sim::BenchKind::VirtualLpt ? "LPT" : "USB");
        BenchRig r(ChipModel::PIC18F452, kind);
        FillBootPattern(r);
        // Boot block code-protected: it reads as zeros and cannot be written over ICSP.
        r.Module().Poke(0x300009, 0x80);
        EXPECT_FALSE(WriteBoot(r.ctx));
        EXPECT_EQ(r.host.log, (std::vector<std::string>{"Запись не возможна.", "Адр.:000  Эт=1000  Чип=0000",
                                                        "Прогр. прервано."}));
        EXPECT_EQ(CountCore(r.Module(), 0x82A6), 1);
    }
}

// A flash cell that has worn out: whatever is written, its byte reads back as zeros.
class WornCell : public sim::PinTarget {
public:
    WornCell(sim::VirtualModule& chip, uint32_t byteAddress) : chip_(chip), address_(byteAddress) {}
    void Drive(sim::Nanos t, const sim::ProgrammerPins& p) override { chip_.Drive(t, p); }
    std::optional<bool> PgdDrive(sim::Nanos t) override {
        auto d = chip_.PgdDrive(t);
        // The chip advances its table pointer as it fetches the byte it shifts out.
        if (d && chip_.Tblptr() == address_ + 1) return false;
        return d;
    }

private:
    sim::VirtualModule& chip_;
    uint32_t address_;
};

TEST(ProgramMemory452, ARowThatNeverVerifiesIsRewrittenABoundedNumberOfTimes) {
    for (auto kind : {sim::BenchKind::VirtualLpt, sim::BenchKind::VirtualUsb}) {
        SCOPED_TRACE(kind == sim::BenchKind::VirtualLpt ? "LPT" : "USB");
        BenchRig r(ChipModel::PIC18F452, kind);
        FillBootPattern(r);
        WornCell worn(r.Module(), 2 * 0x45);
        if (kind == sim::BenchKind::VirtualLpt) r.bench.Kordel().SetTarget(&worn);
        else r.bench.Ftdi().SetTarget(&worn);
        EXPECT_FALSE(WriteBoot(r.ctx));
        const auto& t = r.Module().Trace();
        const auto erasesOfRow = std::count_if(t.begin(), t.end(), [](const sim::IcspRecord& x) {
            return x.command == 0 && x.operand == 0x82A6 && x.tblptrBefore == 0x80;
        });
        EXPECT_EQ(erasesOfRow, kMaxRowRewrites);
        const std::string ref = test::Hex4(0x1000 + 0x45 * 7);
        EXPECT_EQ(r.host.log, (std::vector<std::string>{"Запись не возможна.",
                                                        "Адр.:08A  Эт=" + ref + "  Чип=" + ref.substr(0, 2) + "00",
                                                        "Прогр. прервано."}));
    }
}

} // namespace
} // namespace mrk
