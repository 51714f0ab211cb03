// The single-step commands of the main window on the virtual bench.
#include <gtest/gtest.h>

#include <sstream>

#include "app/CommandRig.h"
#include "app/ImageAccess.h"
#include "image/MemoryListing.h"
#include "app/ChipRoutines.h"
#include "core/Format.h"
#include "icsp/Icsp.h"
#include "icsp/OpenProgrammer.h"
#include "image/FileCommands.h"

namespace mrk {
namespace {

using sim::BenchKind;
using sim::ChipModel;
using test::CommandRig;

struct OpenedRig : CommandRig {
    explicit OpenedRig(ChipModel chip, BenchKind kind = BenchKind::VirtualLpt, bool factory = false)
        : CommandRig(factory ? Factory(chip, kind) : Blank(chip, kind)) {
        EXPECT_TRUE(OpenProgrammer(ctx));
        host.log.clear();
        Module().ClearTrace();
    }
};

TEST(ChipCommands, CalCrcXorsTheUpdateRegionsLowAndHighBytes) {
    struct Case {
        ChipModel chip;
        uint32_t pokeAt;
        const char* label;
    } cases[] = {
        {ChipModel::PIC18F4620, 0, "d0=0 d1=0"},           // all 0xFF: an even count in each half
        {ChipModel::PIC18F4620, 0x0800, "d0=A5 d1=0"},      // first byte of the region, low half
        {ChipModel::PIC18F4620, 0xFFFF, "d0=0 d1=A5"},      // last byte, high half
        {ChipModel::PIC18F4620, 0x07FF, "d0=0 d1=0"},       // boot region: not counted
        {ChipModel::PIC18F452, 0x0301, "d0=0 d1=A5"},
        {ChipModel::PIC18F452, 0x8000, "d0=0 d1=0"},        // beyond the PIC18F452's memory
    };
    for (const auto& c : cases) {
        OpenedRig r(c.chip);
        if (c.pokeAt) r.ctx.image.BuffEt[c.pokeAt] = 0xFF ^ 0xA5;
        SpeedButton16Click(r.ctx, r.ui);
        EXPECT_EQ(r.host.label2, c.label) << std::hex << c.pokeAt;
        EXPECT_TRUE(r.Module().Trace().empty()) << "no hardware access";
    }
}

TEST(ChipCommands, StartWithoutProtectionSelectedTouchesNothing) {
    OpenedRig r(ChipModel::PIC18F4620);
    r.host.StaticText1("OK");
    r.host.staticTexts.clear();
    EXPECT_EQ(SpeedButton13Click(r.ctx, r.ui).result, ChipResult::NotBegun);
    EXPECT_TRUE(r.Module().Trace().empty());
    EXPECT_TRUE(r.host.staticTexts.empty());
    EXPECT_TRUE(r.host.log.empty());
}

TEST(ChipCommands, StartWithProtectionWritesTheProtectionAndShowsTheResult) {
    OpenedRig r(ChipModel::PIC18F452, BenchKind::VirtualUsb);
    ASSERT_TRUE(LoadBootLoaderFile(ImageLoadOf(r.ctx))); // a configuration to write
    r.ui.SelectProtect(true);
    const ConfigWriteOutcome protect = SpeedButton13Click(r.ctx, r.ui);
    EXPECT_TRUE(protect);
    EXPECT_EQ(protect.message, "Защита OK");
    EXPECT_EQ(r.host.staticTexts, (std::vector<std::string>{"OK"}));
    EXPECT_EQ(r.host.log.back(), "Защита OK");
    r.Settle();
    EXPECT_EQ(r.Module().Peek(0x300008) & 0x0F, 0x00) << "code protected";
}

TEST(ChipCommands, BootWriteReadAndCompareOnBothBenches) {
    for (auto kind : {BenchKind::VirtualLpt, BenchKind::VirtualUsb}) {
        SCOPED_TRACE(test::KindName(kind));
        OpenedRig r(ChipModel::PIC18F452, kind);
        ASSERT_TRUE(LoadBootLoaderFile(ImageLoadOf(r.ctx)));
        r.host.Okno("old line");
        r.ui.SetDown(Ctl::Prog);
        EXPECT_TRUE(ProgClick(r.ctx, r.ui));
        EXPECT_EQ(r.host.clears, 1);
        EXPECT_EQ(r.host.log.back(), "Прогр. OK");
        EXPECT_TRUE(r.ui.Down(Ctl::SpeedButton9));
        EXPECT_FALSE(r.ui.Down(Ctl::Prog));
        EXPECT_FALSE(r.ctx.commands.ButtonsLocked);

        r.ui.SetDown(Ctl::ReadChip);
        const MemoryReadOutcome read = ReadChipClick(r.ctx, r.ui);
        EXPECT_TRUE(read);
        EXPECT_EQ(read.words, r.ctx.prog.BootWords);
        EXPECT_EQ(read.wordsRead, read.words);
        EXPECT_EQ(read.memory, std::vector<uint8_t>(r.ctx.image.BuffEt.begin(), r.ctx.image.BuffEt.begin() + 2 * read.words))
            << "the boot loader just written";
        EXPECT_EQ(r.ctx.image.ViewSource, MemorySource::Chip);
        ASSERT_FALSE(r.host.log.empty());
        EXPECT_EQ(r.host.log.front(), "Данные кристалла.");
        EXPECT_EQ(r.host.log.size(), 1u + 1024u) << "page 0 of a PIC18F452";
        EXPECT_FALSE(r.ui.Enabled(Ctl::SpeedButton5));
        EXPECT_TRUE(r.ui.Enabled(Ctl::SpeedButton6));
        EXPECT_TRUE(r.ui.Down(Ctl::SpeedButton14));

        const CompareOutcome same = SravnClick(r.ctx, r.ui);
        EXPECT_TRUE(same);
        EXPECT_EQ(same.message, "Сравнение ОК");
        EXPECT_EQ(same.differences, 0u);
        EXPECT_FALSE(r.host.held) << "repainting resumed";
        EXPECT_TRUE(r.ui.Down(Ctl::SpeedButton15));
        const auto bootResult = r.host.log;

        // The whole memory differs beyond the boot region: BuffEt holds 0xFF
        // there, the chip too, so plant one difference in the reference.
        r.ctx.image.BuffEt[0x1000] = 0x00;
        EXPECT_TRUE(SravnClick(r.ctx, r.ui));
        EXPECT_EQ(r.host.log, bootResult) << "the boot compare does not look beyond the boot region";
        r.ui.SetDown(Ctl::SpeedButton21);
        const CompareOutcome whole = SpeedButton21Click(r.ctx, r.ui);
        EXPECT_EQ(whole.result, ChipResult::Failed);
        EXPECT_EQ(whole.differences, 1u);
        EXPECT_EQ(whole.message, "Кол. ошибок. = 1 ");
        EXPECT_EQ(whole.message, r.host.log.back());
        EXPECT_NE(r.host.log, bootResult) << "the whole compare does";
        EXPECT_TRUE(r.ui.Down(Ctl::SpeedButton15));
        EXPECT_FALSE(r.ctx.ind.SpeedButton21);
    }
}

TEST(ChipCommands, PagesShowTheSourceAndMarkTheirButton) {
    OpenedRig r(ChipModel::PIC18F4620);
    ShowPage(r.ctx, r.ui, 2);
    EXPECT_EQ(r.host.log.front(), "Карта памяти программ.");
    EXPECT_EQ(r.host.log.size(), 1u + 1707u);
    EXPECT_FALSE(r.ui.Enabled(Ctl::SpeedButton2));
    for (Ctl c : {Ctl::SpeedButton5, Ctl::SpeedButton6, Ctl::SpeedButton8}) EXPECT_TRUE(r.ui.Enabled(c));
    ShowPage(r.ctx, r.ui, 3);
    EXPECT_TRUE(r.ui.Enabled(Ctl::SpeedButton2));
    EXPECT_FALSE(r.ui.Enabled(Ctl::SpeedButton8));
}

// The programmer pulled out halfway through "Чтение прогр. памяти": nothing is
// listed as chip data (the log keeps why the read stopped), and the pages show
// the words that were not read as not read, never as the FFFF of an erased chip.
TEST(ChipCommands, AReadThatBrokeOffListsNothingUnreadAsChipData) {
    // The port accesses of the whole read, on a bench of its own.
    uint64_t opened = 0, read = 0;
    {
        OpenedRig probe(ChipModel::PIC18F4620, BenchKind::VirtualLpt, true);
        opened = probe.bench.Kordel().Reads() + probe.bench.Kordel().Writes();
        EXPECT_TRUE(ReadChipClick(probe.ctx, probe.ui));
        read = probe.bench.Kordel().Reads() + probe.bench.Kordel().Writes() - opened;
        EXPECT_FALSE(probe.ctx.image.ChipReadBrokeAt.has_value());
    }
    auto o = CommandRig::Factory(ChipModel::PIC18F4620, BenchKind::VirtualLpt);
    o.kordelFault = sim::KordelFault::UnplugAfterAccesses;
    o.kordelUnplugAfter = opened + read / 2;
    CommandRig r(o);
    ASSERT_TRUE(OpenProgrammer(r.ctx));
    r.host.log.clear();
    const MemoryReadOutcome broken = ReadChipClick(r.ctx, r.ui);
    EXPECT_EQ(broken.result, ChipResult::ProgrammerLost);
    EXPECT_EQ(broken.message, kProgrammerLost);
    EXPECT_FALSE(r.host.EverLogged("Данные кристалла."));
    ASSERT_FALSE(r.host.log.empty());
    EXPECT_EQ(r.host.log.back(), "Связь с программатором потеряна. Операция прервана.");
    ASSERT_TRUE(r.ctx.image.ChipReadBrokeAt.has_value());
    const uint32_t brokeAt = *r.ctx.image.ChipReadBrokeAt;
    EXPECT_GT(brokeAt, 0u);
    EXPECT_LT(brokeAt, r.ctx.prog.BootWords);
    EXPECT_EQ(broken.wordsRead, brokeAt);
    EXPECT_EQ(broken.memory.size(), 2u * brokeAt) << "only the words read";

    // Page 0 of chip data: the words read as read, every one after as "----".
    ShowPage(r.ctx, r.ui, 0);
    ASSERT_EQ(r.host.log.size(), 1u + 2048u);
    EXPECT_EQ(r.host.log.front(), "Данные кристалла.");
    size_t unread = 0;
    for (unsigned line = 0; line < 2048; ++line) {
        const std::string& text = r.host.log[1 + line];
        std::istringstream fields(text);
        std::string address, word;
        fields >> address;
        for (unsigned k = 0; k < 4; ++k) {
            fields >> word;
            const bool wasRead = 4 * line + k < brokeAt;
            EXPECT_EQ(word == "----", !wasRead) << text;
            unread += word == "----";
        }
    }
    EXPECT_EQ(unread, 4u * 2048u - brokeAt);
    EXPECT_EQ(r.host.log[1], ListingLine(r.ctx.image.BuffChip.data(), 0)) << "the first words as the chip gave them";
}

TEST(ChipCommands, EraseClearsTheLogBeforeTheLastVppSwitchAndFocusesTheNumber) {
    OpenedRig r(ChipModel::PIC18F4620, BenchKind::VirtualLpt, true);
    r.host.Okno("old line");
    r.ui.SetDown(Ctl::SpeedButton18);
    EXPECT_TRUE(SpeedButton12Click(r.ctx, r.ui));
    EXPECT_EQ(r.host.clears, 1);
    EXPECT_TRUE(r.host.log.empty()) << "the erase logs nothing";
    EXPECT_TRUE(r.ui.Down(Ctl::SpeedButton12));
    EXPECT_FALSE(r.ui.Down(Ctl::SpeedButton18));
    EXPECT_EQ(r.ui.FocusNow(), PlainControls::Focus::Edit1);
    r.Settle();
    EXPECT_EQ(r.Module().Peek(0), 0xFF) << "the boot loader is gone";
}

TEST(ChipCommands, IdReadShowsTheWordsAndIdWriteWritesBackWordsOneToThree) {
    for (auto kind : {BenchKind::VirtualLpt, BenchKind::VirtualUsb}) {
        SCOPED_TRACE(test::KindName(kind));
        OpenedRig r(ChipModel::PIC18F4620, kind);
        EXPECT_TRUE(SpeedButton11Click(r.ctx, r.ui));
        EXPECT_EQ(r.host.label2, "d[0]=FFFF d[1]=FFFF d[2]=FFFF d[3]=FFFF");
        r.ctx.prog.IdWords = {0x1111, 0x2345, 0x6901, 0xABCD};
        const ChipOutcome written = SpeedButton10Click(r.ctx, r.ui);
        EXPECT_TRUE(written);
        EXPECT_EQ(written.message, "");
        EXPECT_TRUE(r.host.log.empty()) << "WR ID says nothing";
        const IdReadOutcome id = SpeedButton11Click(r.ctx, r.ui);
        EXPECT_TRUE(id);
        EXPECT_EQ(r.host.label2, "d[0]=FFFF d[1]=2345 d[2]=6901 d[3]=ABCD");
        EXPECT_EQ(id.message, r.host.label2);
        EXPECT_EQ(id.words, (std::array<uint16_t, 4>{0xFFFF, 0x2345, 0x6901, 0xABCD}));
        const DevIdOutcome devId = SpeedButton1Click(r.ctx, r.ui);
        EXPECT_TRUE(devId);
        EXPECT_EQ(devId.message, r.host.label2);
        EXPECT_EQ(devId.message, Format("Devid1=%X Devid2=%X", devId.devId1, devId.devId2));
        EXPECT_EQ(r.host.label2.rfind("Devid1=", 0), 0u);
        EXPECT_NE(r.host.label2.find(" Devid2=C"), std::string::npos) << r.host.label2;
    }
}

} // namespace
} // namespace mrk
