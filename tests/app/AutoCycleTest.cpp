// The automatic cycle on a blank virtual module: the factory number, the steps,
// the end of the run, the identity written into the ID locations.
#include <gtest/gtest.h>

#include "app/AutoCycle.h"
#include "app/CommandRig.h"
#include "app/ParamCommands.h"

namespace mrk {
namespace {

using sim::BenchKind;
using sim::ChipModel;
using test::CommandRig;

std::chrono::year_month_day May15() {
    using namespace std::chrono;
    return year_month_day{year{2026}, month{5}, day{15}};
}

// Runs the cycle as the operator does: type the number, press Enter.
CycleResult TypeAndEnter(CommandRig& r, const std::string& number) {
    r.ctx.commands.Obnovl = false; // production mode
    r.ui.SetFactoryNumberText(number);
    return Edit1KeyDownEnter(r.ctx, r.ui);
}

TEST(AutoCycle, ABlankModuleIsPreparedCompletelyOnBothBenchesAndChips) {
    for (auto kind : {BenchKind::VirtualLpt, BenchKind::VirtualUsb}) {
        for (auto chip : {ChipModel::PIC18F4620, ChipModel::PIC18F452}) {
            SCOPED_TRACE(std::string(test::KindName(kind)) + " " + test::ChipName(chip));
            CommandRig r(CommandRig::Blank(chip, kind));
            r.ctx.commands.ConfigChip = 0x0105;
            bool senderEnabledWhileLocked = false, stopUsable = false;
            r.host.onLine = [&](const std::string& l) {
                if (l != "Чтение кристала.") return;
                senderEnabledWhileLocked = r.ctx.commands.ButtonsLocked && r.ui.Enabled(Ctl::Edit1) &&
                                           !r.ui.Enabled(Ctl::Avtom_Prog_P) && !r.ui.Enabled(Ctl::Prog);
                stopUsable = r.ui.Enabled(Ctl::Avt_Prog_St);
            };
            EXPECT_EQ(TypeAndEnter(r, "1234"), CycleResult::Passed);

            EXPECT_EQ(r.host.staticTexts, (std::vector<std::string>{"  ", "OK"}));
            EXPECT_EQ(r.host.log.back(), "Номер модуля OK.");
            for (const char* line : {"Конфигурация OK", "Прогр. OK", "Чтение кристала.", "Защита OK",
                                     "КС Программы OK."})
                EXPECT_TRUE(r.host.EverLogged(line)) << line;
            const uint32_t expected = StampDate(0x000104D2 & 0x00FFFFFF, May15()) | 0x00050000;
            EXPECT_EQ(r.ctx.commands.ModuleNumber, expected);
            r.Settle();
            EXPECT_EQ(r.IdWord(1), expected & 0xFFFF);
            EXPECT_EQ(r.IdWord(2), expected >> 16);
            EXPECT_EQ(r.IdWord(3), 0xFFFF);
            // The end of the run.
            EXPECT_TRUE(r.ui.Down(Ctl::Avt_Prog_St));
            EXPECT_FALSE(r.ui.Down(Ctl::Avtom_Prog_P));
            EXPECT_FALSE(r.ctx.commands.ButtonsLocked);
            EXPECT_EQ(r.ui.FactoryNumberText(), "");
            EXPECT_EQ(r.ui.FocusNow(), PlainControls::Focus::Edit1);
            EXPECT_FALSE(r.ui.ProtectSelected()) << "back to \"Не ставить защиту\"";
            EXPECT_TRUE(senderEnabledWhileLocked);
            EXPECT_TRUE(stopUsable);
        }
    }
}

TEST(AutoCycle, TheModuleNumberTakesTheFactoryNumberAndConfigChipAndKeepsTheTopByte) {
    CommandRig r(CommandRig::Blank(ChipModel::PIC18F4620, BenchKind::VirtualLpt));
    r.ctx.commands.ConfigChip = 0x0105;
    r.ctx.commands.ModuleNumber = 0xA4000000;
    uint32_t atStart = 0;
    r.host.onStaticText1 = [&](const std::string& t) {
        if (t == "  ") atStart = r.ctx.commands.ModuleNumber;
    };
    EXPECT_EQ(TypeAndEnter(r, "1234"), CycleResult::Passed);
    EXPECT_EQ(atStart, 0xA40504D2u);
    EXPECT_EQ(CycleModuleNumber(0xA4000000, 0x0105, 1234), 0xA40504D2u);
}

TEST(AutoCycle, FactoryNumbersAreTakenAsTheFieldReadsThem) {
    struct Case {
        const char* text;
        uint16_t n;
    } cases[] = {{"1234", 1234}, {"007", 7}, {"65535", 0xFFFF}, {"65536", 0}, {"0", 0}, {"", 0},
                 // Numbers that do not fit 16 bits are refused, not cut to another number.
                 {"65537", 0}, {"70000", 0}, {"2147483647", 0}, {"2147483648", 0}, {"12a", 0},
                 {"99999999999", 0}, {"000000000000000000001", 1}};
    for (const auto& c : cases) EXPECT_EQ(FactoryNumber(c.text), c.n) << c.text;
}

// Accepted numbers start a run (here one that stops early: no boot-loader file).
TEST(AutoCycle, AnAcceptedNumberGoesIntoTheModuleNumberAsSixteenBits) {
    struct Case {
        const char* text;
        uint32_t low;
    } cases[] = {{"1", 1}, {"007", 7}, {"65535", 0xFFFF}};
    for (const auto& c : cases) {
        CommandRig r(CommandRig::Blank(ChipModel::PIC18F452, BenchKind::VirtualLpt));
        r.ctx.image.BootPath452 = (r.dir.Path() / "missing.hex").string();
        r.ctx.commands.ModuleNumber = 0x12345678;
        EXPECT_EQ(TypeAndEnter(r, c.text), CycleResult::Failed) << "no boot-loader file";
        EXPECT_TRUE(r.host.messages.empty()) << c.text;
        EXPECT_EQ(r.ctx.commands.ModuleNumber, 0x12000000 | c.low) << c.text;
    }
}

TEST(AutoCycle, OnlyDigitsCanBeTyped) {
    for (char32_t ch : {U'0', U'5', U'9'}) EXPECT_TRUE(Edit1KeyPress(ch));
    for (char32_t ch : {U'a', U' ', U'-', U'\b', U'\r', U'٣', U'/', U':'}) EXPECT_FALSE(Edit1KeyPress(ch));
}

TEST(AutoCycle, ARefusedFactoryNumberLeavesTheModuleUntouched) {
    struct Case {
        const char* text;
        const char* box;
        PlainControls::Focus focus;
    } cases[] = {{"", "Введите заводской номер.", PlainControls::Focus::MainWindow},
                 {"65536", "Неверный заводской номер.", PlainControls::Focus::Edit1},
                 {"65537", "Неверный заводской номер.", PlainControls::Focus::Edit1},
                 {"70000", "Неверный заводской номер.", PlainControls::Focus::Edit1},
                 {"0", "Неверный заводской номер.", PlainControls::Focus::Edit1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        CommandRig r(CommandRig::Blank(ChipModel::PIC18F4620, BenchKind::VirtualLpt));
        r.ui.SetDown(Ctl::Avtom_Prog_P);
        EXPECT_EQ(TypeAndEnter(r, c.text), CycleResult::Refused);
        ASSERT_EQ(r.host.messages.size(), 1u);
        EXPECT_EQ(r.host.messages[0].text, c.box);
        EXPECT_EQ(r.host.messages[0].kind, MsgKind::Information);
        EXPECT_EQ(r.host.messages[0].buttons, MsgButtons::Ok);
        EXPECT_TRUE(r.ui.Down(Ctl::Avt_Prog_St));
        EXPECT_EQ(r.ui.FactoryNumberText(), "");
        EXPECT_EQ(r.ui.FocusNow(), c.focus);
        EXPECT_TRUE(r.Module().Trace().empty());
        EXPECT_TRUE(r.host.staticTexts.empty());
        EXPECT_EQ(r.ctx.commands.ModuleNumber, 0u);
    }
}

TEST(AutoCycle, StartWithAnEmptyFieldOpensAndLoadsThenAsksForTheNumber) {
    CommandRig r(CommandRig::Blank(ChipModel::PIC18F452, BenchKind::VirtualLpt));
    EXPECT_EQ(Avtom_Prog_PClick(r.ctx, r.ui, Ctl::Avtom_Prog_P), CycleResult::Refused);
    ASSERT_EQ(r.host.messages.size(), 1u);
    EXPECT_EQ(r.host.messages[0].text, "Введите заводской номер.");
    EXPECT_EQ(r.ui.FocusNow(), PlainControls::Focus::Edit1);
    EXPECT_TRUE(r.ctx.ind.CheckBox2) << "the programmer was opened";
    EXPECT_TRUE(r.host.staticTexts.empty());
    EXPECT_FALSE(r.ctx.commands.ButtonsLocked);
}

// The boot block turns out write-protected after the configuration went in: the
// boot write fails and nothing after it runs.
TEST(AutoCycle, AFailedBootWriteEndsTheRunWithX) {
    for (auto kind : {BenchKind::VirtualLpt, BenchKind::VirtualUsb}) {
        SCOPED_TRACE(test::KindName(kind));
        CommandRig r(CommandRig::Blank(ChipModel::PIC18F4620, kind));
        r.host.onLine = [&](const std::string& l) {
            if (l == "Конфигурация OK") r.Module().Poke(0x30000B, 0xA0); // WRTB = 0
        };
        EXPECT_EQ(TypeAndEnter(r, "77"), CycleResult::Failed);
        EXPECT_EQ(r.host.staticTexts.back(), "X");
        for (const char* line : {"Чтение кристала.", "Защита OK", "Запись закончена.", "Номер модуля OK.",
                                 "Ошибка записи Номера модуля."})
            EXPECT_FALSE(r.host.EverLogged(line)) << line;
        EXPECT_TRUE(r.ui.Down(Ctl::Avt_Prog_St));
        EXPECT_FALSE(r.ctx.commands.ButtonsLocked);
        for (int k = 0; k < kManagedControls; ++k) EXPECT_TRUE(r.ui.Enabled(static_cast<Ctl>(k))) << k;
        r.Settle();
        EXPECT_EQ(r.IdWord(1), 0xFFFF) << "no identity written";
    }
}

// Run from the update-only layout ("Aktivation 2"): the update flags the run as
// update-only, the stamp is skipped, the number check fails — and the run is OK.
TEST(AutoCycle, AFailedModuleNumberCheckStillShowsOK) {
    CommandRig r(CommandRig::Blank(ChipModel::PIC18F452, BenchKind::VirtualLpt));
    r.ui.SetFactoryNumberText("5");
    r.ctx.commands.Obnovl = true;
    EXPECT_EQ(Edit1KeyDownEnter(r.ctx, r.ui), CycleResult::Passed);
    EXPECT_EQ(r.host.log.back(), "Ошибка записи Номера модуля.");
    EXPECT_EQ(r.host.staticTexts.back(), "OK");
}

TEST(AutoCycle, AnUpdateImageThatDoesNotLoadLeavesTheModuleUntouched) {
    CommandRig r(CommandRig::Blank(ChipModel::PIC18F4620, BenchKind::VirtualUsb));
    // No folder to decipher the image in: the load cannot make its temporary file.
    r.ctx.image.TempDir = (r.dir.Path() / "no-such-folder").string();
    r.Module().Poke(0x300000, 0x00);
    r.Module().Poke(0x10, 0x42);
    EXPECT_EQ(TypeAndEnter(r, "9"), CycleResult::Failed);
    EXPECT_EQ(r.host.staticTexts, (std::vector<std::string>{"  ", "X"}));
    EXPECT_EQ(r.host.label3, "Ошибка загрузки");
    EXPECT_TRUE(r.host.EverLogged("Модуль не программировался: не загрузился файл обновления."));
    r.Settle();
    EXPECT_EQ(r.Module().Peek(0x10), 0x42) << "not erased";
    EXPECT_FALSE(r.ctx.commands.ButtonsLocked);
}

TEST(AutoCycle, AMissingBootLoaderFileLeavesTheModuleUntouched) {
    CommandRig r(CommandRig::Blank(ChipModel::PIC18F452, BenchKind::VirtualLpt));
    r.ctx.image.BootPath452 = (r.dir.Path() / "missing.hex").string();
    r.Module().Poke(0x10, 0x42);
    EXPECT_EQ(TypeAndEnter(r, "9"), CycleResult::Failed);
    EXPECT_EQ(r.host.staticTexts.back(), "X");
    EXPECT_TRUE(r.host.EverLogged("Модуль не программировался: не загрузился файл BOOT загрузчика."));
    r.Settle();
    EXPECT_EQ(r.Module().Peek(0x10), 0x42);
}


// The programmer pulled out once the run has started: the erase does not reach the
// module, so nothing further is tried and the run ends "X" at once.
TEST(AutoCycle, AProgrammerPulledOutAtTheStartEndsTheRunWithX) {
    for (auto kind : {BenchKind::VirtualLpt, BenchKind::VirtualUsb}) {
        SCOPED_TRACE(test::KindName(kind));
        CommandRig r(CommandRig::Blank(ChipModel::PIC18F452, kind));
        r.host.onStaticText1 = [&](const std::string& t) {
            if (t != "  ") return;
            if (kind == BenchKind::VirtualLpt) r.bench.Kordel().SetFault(sim::KordelFault::Absent);
            else r.bench.Ftdi().SetFault(sim::FtdiFault::Absent);
        };
        const auto start = r.bench.Clock().Now();
        EXPECT_EQ(TypeAndEnter(r, "12"), CycleResult::Failed);
        EXPECT_EQ(r.host.staticTexts.back(), "X");
        EXPECT_TRUE(r.host.EverLogged("Связь с программатором потеряна. Операция прервана."));
        for (const char* line : {"Конфигурация OK", "Ошибка записи конфигурации", "Чтение кристала.",
                                 "Ошибка записи Программы."})
            EXPECT_FALSE(r.host.EverLogged(line)) << line;
        EXPECT_LT(r.bench.Clock().Now() - start, 5000 * sim::kMs);
        EXPECT_FALSE(r.ctx.commands.ButtonsLocked);
    }
}

} // namespace
} // namespace mrk
