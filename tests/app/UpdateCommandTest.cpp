// The update button end to end on the virtual bench: wait for the module, stream
// the update, confirm the checksum through ID word 0 — and every way it fails.
#include <gtest/gtest.h>

#include "app/CommandRig.h"
#include "app/ChipRoutines.h"
#include "app/ImageAccess.h"
#include "image/FileCommands.h"

namespace mrk {
namespace {

using sim::BenchKind;
using sim::ChipModel;
using test::CommandRig;

constexpr BenchKind kKinds[] = {BenchKind::VirtualLpt, BenchKind::VirtualUsb};
constexpr ChipModel kChips[] = {ChipModel::PIC18F4620, ChipModel::PIC18F452};

// What every end of the command leaves on the window.
void ExpectWindowReleased(const CommandRig& r) {
    EXPECT_TRUE(r.ui.Enabled(Ctl::SpeedButton4));
    EXPECT_FALSE(r.ctx.commands.ButtonsLocked);
    EXPECT_FALSE(r.ui.BusyCursor());
    for (int k = 0; k < kManagedControls; ++k) EXPECT_TRUE(r.ui.Enabled(static_cast<Ctl>(k))) << k;
}

TEST(UpdateCommand, AFactoryModuleTakesTheUpdateAndConfirmsItsSum) {
    for (auto kind : kKinds) {
        SCOPED_TRACE(test::KindName(kind));
        CommandRig r(CommandRig::Factory(ChipModel::PIC18F4620, kind));
        bool busyWhileSending = false, sb4DisabledWhileSending = false, lockedWhileSending = false;
        r.host.onLine = [&](const std::string& l) {
            if (l != "Запись закончена.") return;
            busyWhileSending = r.ui.BusyCursor();
            sb4DisabledWhileSending = !r.ui.Enabled(Ctl::SpeedButton4);
            lockedWhileSending = r.ctx.commands.ButtonsLocked && !r.ui.Enabled(Ctl::Prog);
        };
        const UpdateOutcome u = SpeedButton4Click(r.ctx, r.ui, Ctl::SpeedButton4);
        EXPECT_EQ(u.result, UpdateResult::Confirmed);
        EXPECT_TRUE(u.updateOnly);
        EXPECT_EQ(r.host.clears, 1) << "update-only mode clears the log before writing";
        ASSERT_GE(r.host.log.size(), 2u);
        EXPECT_EQ(r.host.log[r.host.log.size() - 2], "КС Программы OK.");
        EXPECT_EQ(r.host.log.back(), "Можно подключить следующий модуль.");
        EXPECT_TRUE(busyWhileSending);
        EXPECT_TRUE(sb4DisabledWhileSending);
        EXPECT_TRUE(lockedWhileSending);
        ExpectWindowReleased(r);
    }
}

TEST(UpdateCommand, ProductionModeKeepsTheLogAndClearsTheUpdateOnlyFlag) {
    CommandRig r(CommandRig::Factory(ChipModel::PIC18F452, BenchKind::VirtualLpt));
    r.ctx.commands.Obnovl = false;
    r.host.Okno("earlier line");
    const UpdateOutcome u = SpeedButton4Click(r.ctx, r.ui, Ctl::Avtom_Prog_P);
    EXPECT_TRUE(u.Ok());
    EXPECT_FALSE(u.updateOnly);
    EXPECT_EQ(r.host.clears, 0);
    EXPECT_EQ(r.host.log.front(), "earlier line");
}

TEST(UpdateCommand, ABlankModuleHasNoBootLoaderToTalkTo) {
    CommandRig r(CommandRig::Blank(ChipModel::PIC18F452, BenchKind::VirtualLpt));
    r.ctx.commands.Obnovl = false; // production mode: the log is kept
    EXPECT_EQ(SpeedButton4Click(r.ctx, r.ui, Ctl::SpeedButton4).result, UpdateResult::Failed);
    ASSERT_FALSE(r.host.log.empty());
    EXPECT_EQ(r.host.log.back(), "Попробуйте еще раз.");
    EXPECT_FALSE(r.host.EverLogged("Ошибка записи Программы."));
    ExpectWindowReleased(r);
}

TEST(UpdateCommand, ASumThatDoesNotMatchTheImageIsAFailure) {
    CommandRig r(CommandRig::Factory(ChipModel::PIC18F4620, BenchKind::VirtualLpt));
    // The module's sums are compared with the bytes stored behind the image.
    r.host.onLine = [&](const std::string& l) {
        if (l == "Проверка контрольной суммы.") r.ctx.image.BuffEt[2u * r.ctx.prog.ChipWords + 2] ^= 0x5A;
    };
    const UpdateOutcome u = SpeedButton4Click(r.ctx, r.ui, Ctl::SpeedButton4);
    EXPECT_EQ(u.result, UpdateResult::Failed);
    EXPECT_TRUE(u.updateOnly) << "sent in update-only mode";
    EXPECT_EQ(r.host.log.back(), "Ошибка записи Программы.");
    EXPECT_FALSE(r.host.EverLogged("КС Программы OK."));
    ExpectWindowReleased(r);
}

TEST(UpdateCommand, UpdateOnlyModeWithoutProgrammerEndsSilentlyAfterTheOpen) {
    auto o = CommandRig::Factory(ChipModel::PIC18F4620, BenchKind::VirtualLpt);
    o.kordelFault = sim::KordelFault::Absent;
    CommandRig r(o);
    EXPECT_EQ(SpeedButton4Click(r.ctx, r.ui, Ctl::SpeedButton4).result, UpdateResult::NoProgrammer);
    EXPECT_EQ(r.host.log.size(), 3u) << "only the programmer-open lines";
    EXPECT_TRUE(r.Module().Trace().empty());
    EXPECT_FALSE(r.ctx.commands.ButtonsLocked);
    EXPECT_FALSE(r.ui.BusyCursor());
}

// A link that loses the same block in every run: the update never reached the
// module whole, even when ID word 0 still holds the sums of an earlier, complete
// update of the same image.
TEST(UpdateCommand, ABlockLostInEveryAttemptEndsAsAFailureWhateverTheOldSums) {
    for (auto kind : kKinds) {
        for (auto chip : kChips) {
            SCOPED_TRACE(std::string(test::KindName(kind)) + " " + test::ChipName(chip));
            auto o = CommandRig::Factory(chip, kind);
            o.moduleFaults.stopAfterBlock = 1;
            CommandRig r(o);
            // The sums the image will carry, as the earlier update left them in ID word 0.
            ASSERT_TRUE(OpenProgrammer(r.ctx));
            ASSERT_TRUE(LoadEmbeddedUpdate(ImageLoadOf(r.ctx)));
            const size_t sums = 2u * r.ctx.prog.ChipWords;
            r.Module().Poke(0x200000, r.ctx.image.BuffEt[sums + 1]);
            r.Module().Poke(0x200001, r.ctx.image.BuffEt[sums + 2]);
            r.host.log.clear();

            EXPECT_EQ(SpeedButton4Click(r.ctx, r.ui, Ctl::SpeedButton4).result, UpdateResult::Failed);
            EXPECT_EQ(r.host.log.back(), "Ошибка записи Программы.");
            EXPECT_FALSE(r.host.EverLogged("КС Программы OK."));
            EXPECT_FALSE(r.host.EverLogged("Можно подключить следующий модуль."));
            EXPECT_EQ(std::count(r.host.all.begin(), r.host.all.end(), "Нет готовности модуля 4620."), 10);
            ExpectWindowReleased(r);
        }
    }
}

// The update image cannot be deciphered into its temporary file: the module
// keeps its application.
TEST(UpdateCommand, AnImageThatDidNotLoadIsNeverSent) {
    for (auto kind : kKinds) {
        SCOPED_TRACE(test::KindName(kind));
        CommandRig r(CommandRig::Factory(ChipModel::PIC18F4620, kind));
        r.ctx.image.TempDir = (r.dir.Path() / "no-such-folder").string();
        r.Module().Poke(0x800, 0x12);
        EXPECT_EQ(SpeedButton4Click(r.ctx, r.ui, Ctl::SpeedButton4).result, UpdateResult::Failed);
        EXPECT_EQ(r.host.label3, "Ошибка загрузки");
        EXPECT_EQ(r.host.log.back(), "Обновление не записано: не загрузился файл обновления.");
        EXPECT_FALSE(r.host.EverLogged("КС Программы OK."));
        r.Settle();
        EXPECT_EQ(r.Module().Peek(0x800), 0x12) << "the application is still there";
        ExpectWindowReleased(r);
    }
}


// The programmer goes away after the update went in: the checksum confirmation
// stops at the first ID read that got no answer instead of trying 101 times.
TEST(UpdateCommand, AProgrammerGoneBeforeTheConfirmationEndsItAtOnce) {
    CommandRig r(CommandRig::Factory(ChipModel::PIC18F4620, BenchKind::VirtualLpt));
    r.host.onLine = [&](const std::string& l) {
        if (l == "Запись закончена.") r.bench.Kordel().SetFault(sim::KordelFault::Absent);
    };
    EXPECT_EQ(SpeedButton4Click(r.ctx, r.ui, Ctl::SpeedButton4).result, UpdateResult::Failed);
    EXPECT_EQ(r.host.log.back(), "Ошибка записи Программы.");
    EXPECT_EQ(std::count(r.host.all.begin(), r.host.all.end(), "Связь с программатором потеряна. Операция прервана."), 1);
    EXPECT_FALSE(r.host.EverLogged("КС Программы OK."));
    EXPECT_FALSE(r.ctx.commands.ButtonsLocked);
}

} // namespace
} // namespace mrk
