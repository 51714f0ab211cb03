// Commands that write what cannot be read back from anywhere else: the boot
// region, the module's identity, the cycle that stamps it. Each runs only with
// what it needs and says plainly when it did not do its work.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "app/AutoCycle.h"
#include "app/CommandRig.h"
#include "app/ImageAccess.h"
#include "app/ParamCommands.h"
#include "app/ParamForm.h"
#include "app/RunObserver.h"
#include "icsp/BenchRig.h"
#include "app/ChipRoutines.h"
#include "icsp/Icsp.h"
#include "image/FileCommands.h"

namespace mrk {
namespace {

using sim::BenchKind;
using sim::ChipModel;
using test::CommandRig;

const char* const kNoBootImage = "Файл BOOT загрузчика не загружен. Запись \"BOOT\" не выполнена.";

std::vector<uint8_t> BootRegion(CommandRig& r) {
    std::vector<uint8_t> bytes(2u * r.ctx.prog.BootWords);
    for (uint32_t a = 0; a < bytes.size(); ++a) bytes[a] = r.Module().Peek(a);
    return bytes;
}

template <class Body>
void OnBothBenchesAndChips(Body body) {
    for (auto kind : {BenchKind::VirtualLpt, BenchKind::VirtualUsb})
        for (auto chip : {ChipModel::PIC18F4620, ChipModel::PIC18F452}) {
            SCOPED_TRACE(std::string(test::KindName(kind)) + " " + test::ChipName(chip));
            body(kind, chip);
        }
}

// " Запись "BOOT"" on a module fresh from the factory, after the loads an operator
// may have done: without a boot image since the last refill of the reference
// image, its boot loader must stay as it is and no line may move.
TEST(BootWrite, WithoutABootImageNothingIsTouched) {
    OnBothBenchesAndChips([](BenchKind kind, ChipModel chip) {
        struct Case {
            const char* what;
            std::function<void(CommandRig&)> loads;
        } cases[] = {
            {"nothing loaded", [](CommandRig&) {}},
            {"the update image alone", [](CommandRig& r) { LoadEmbeddedUpdate(ImageLoadOf(r.ctx)); }},
            {"the boot file, then the update image over it",
             [](CommandRig& r) {
                 LoadBootLoaderFile(ImageLoadOf(r.ctx));
                 LoadEmbeddedUpdate(ImageLoadOf(r.ctx));
             }},
            {"the boot file, then the parameters window opened and closed",
             [](CommandRig& r) {
                 LoadBootLoaderFile(ImageLoadOf(r.ctx));
                 ParamForm form;
                 param::FormShow(r.ctx, form);
                 param::FormClose(r.ctx, form, [&] { LoadEmbeddedUpdate(ImageLoadOf(r.ctx)); });
             }},
            {"a boot file that does not load",
             [](CommandRig& r) {
                 LoadEmbeddedUpdate(ImageLoadOf(r.ctx));
                 (r.ctx.Is4620() ? r.ctx.image.BootPath4620 : r.ctx.image.BootPath452) = (r.dir.Path() / "none.hex").string();
                 LoadBootLoaderFile(ImageLoadOf(r.ctx));
             }},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.what);
            CommandRig r(CommandRig::Factory(chip, kind));
            ASSERT_TRUE(OpenProgrammer(r.ctx));
            c.loads(r);
            const auto before = BootRegion(r);
            const uint64_t traffic = test::ProgrammerTraffic(r.bench, kind);
            const ChipOutcome boot = ProgClick(r.ctx, r.ui);
            EXPECT_EQ(boot.result, ChipResult::NotBegun);
            EXPECT_EQ(boot.message, kNoBootImage);
            EXPECT_EQ(r.host.log.back(), kNoBootImage);
            EXPECT_FALSE(r.host.EverLogged("Прогр. OK"));
            EXPECT_EQ(test::ProgrammerTraffic(r.bench, kind), traffic) << "no line moved";
            EXPECT_EQ(BootRegion(r), before);
            EXPECT_FALSE(r.ctx.commands.ButtonsLocked);
        }
        // The boot file loaded last: the write goes ahead.
        CommandRig r(CommandRig::Blank(chip, kind));
        ASSERT_TRUE(OpenProgrammer(r.ctx));
        LoadEmbeddedUpdate(ImageLoadOf(r.ctx));
        ASSERT_TRUE(LoadBootLoaderFile(ImageLoadOf(r.ctx)));
        EXPECT_TRUE(ProgClick(r.ctx, r.ui));
        EXPECT_EQ(r.host.log.back(), "Прогр. OK");
    });
}

// Records what the production journal would be told.
struct StepRecorder : RunObserver {
    std::vector<std::pair<int, bool>> steps;
    bool ended = false, endedOk = false;
    bool RunStarting(Context&, RunKind, uint32_t) override { return true; }
    void StepDone(Context&, int step, const char*, bool ok) override { steps.emplace_back(step, ok); }
    void RunEnded(Context&, bool ok, uint32_t) override {
        ended = true;
        endedOk = ok;
    }
    std::optional<bool> Step(int n) const {
        std::optional<bool> last;
        for (const auto& [s, ok] : steps)
            if (s == n) last = ok;
        return last;
    }
};

TEST(Stamp, ASecondStampKeepsTheFirstAndSaysSo) {
    OnBothBenchesAndChips([](BenchKind kind, ChipModel chip) {
        CommandRig r(CommandRig::Blank(chip, kind));
        ASSERT_TRUE(OpenProgrammer(r.ctx));
        r.host.log.clear();
        r.ctx.commands.ModuleNumber = 0x000504D2; // 1234 with ConfigChip 0x05
        EXPECT_EQ(ParamUstanovitClick(r.ctx), StampResult::Written);
        EXPECT_TRUE(r.host.log.empty()) << "a stamp that took says nothing";
        const uint16_t high = r.IdWord(2);
        // The same identity again: nothing to write, and that is no failure.
        EXPECT_EQ(ParamUstanovitClick(r.ctx), StampResult::AlreadyThere);
        // Another number: writing it would AND 1234 and 4321 together.
        r.ctx.commands.ModuleNumber = 0x000510E1;
        EXPECT_EQ(ParamUstanovitClick(r.ctx), StampResult::Refused);
        ASSERT_FALSE(r.host.log.empty());
        EXPECT_EQ(r.host.log.back().rfind("Номер модуля уже записан (d[1]=4D2 d[2]=", 0), 0u) << r.host.log.back();
        ASSERT_TRUE(ReadIdWords(r.ctx));
        EXPECT_EQ(r.ctx.prog.IdWords[1], 0x04D2u);
        EXPECT_EQ(r.ctx.prog.IdWords[2], high);
        EXPECT_EQ(r.ctx.prog.IdWords[3], 0xFFFFu);
        // Only a bulk erase frees the ID locations again.
        ASSERT_TRUE(SpeedButton12Click(r.ctx, r.ui));
        EXPECT_EQ(ParamUstanovitClick(r.ctx), StampResult::Written);
        r.Settle();
        EXPECT_EQ(r.IdWord(1), 0x10E1);
    });
}

TEST(Stamp, AProgrammerLostOnTheWayIsAFailure) {
    OnBothBenchesAndChips([](BenchKind kind, ChipModel chip) {
        // Where the stamp's traffic lies: the programmer goes away in its middle.
        uint64_t opened = 0, total = 0;
        {
            CommandRig r(CommandRig::Blank(chip, kind));
            ASSERT_TRUE(OpenProgrammer(r.ctx));
            opened = test::ProgrammerTraffic(r.bench, kind);
            r.ctx.commands.ModuleNumber = 1234;
            ASSERT_EQ(ParamUstanovitClick(r.ctx), StampResult::Written);
            total = test::ProgrammerTraffic(r.bench, kind);
        }
        for (uint64_t at : {opened + 1, opened + (total - opened) / 2, opened + 3 * (total - opened) / 4}) {
            SCOPED_TRACE(at - opened);
            auto o = CommandRig::Blank(chip, kind);
            test::UnplugProgrammerAfter(o, at);
            CommandRig r(o);
            ASSERT_TRUE(OpenProgrammer(r.ctx));
            r.ctx.commands.ModuleNumber = 1234;
            EXPECT_EQ(ParamUstanovitClick(r.ctx), StampResult::Failed);
            EXPECT_TRUE(r.host.EverLogged(kProgrammerLost));
        }
    });
}

// The programmer pulled out once the update is confirmed: the module leaves
// without the number the journal reserved for it, and the run says "X".
TEST(AutoCycleStamp, ANumberNotWrittenEndsTheRunWithX) {
    OnBothBenchesAndChips([](BenchKind kind, ChipModel chip) {
        CommandRig r(CommandRig::Blank(chip, kind));
        StepRecorder journal;
        r.ctx.runObserver = &journal;
        r.host.onLine = [&](const std::string& l) {
            if (l != "КС Программы OK.") return;
            if (kind == BenchKind::VirtualLpt) r.bench.Kordel().SetFault(sim::KordelFault::Absent);
            else r.bench.Ftdi().SetFault(sim::FtdiFault::Absent);
        };
        r.ctx.commands.Obnovl = false;
        r.ui.SetFactoryNumberText("1234");
        EXPECT_EQ(Edit1KeyDownEnter(r.ctx, r.ui), CycleResult::Failed);
        EXPECT_EQ(r.host.staticTexts.back(), "X");
        EXPECT_TRUE(r.host.EverLogged(kProgrammerLost));
        EXPECT_EQ(r.host.log.back(), "Ошибка записи Номера модуля.");
        EXPECT_EQ(journal.Step(10), std::optional<bool>(true));
        EXPECT_EQ(journal.Step(11), std::optional<bool>(false));
        EXPECT_EQ(journal.Step(12), std::optional<bool>(false));
        EXPECT_TRUE(journal.ended);
        EXPECT_FALSE(journal.endedOk);
        EXPECT_FALSE(r.ctx.commands.ButtonsLocked);
        r.Settle();
        EXPECT_EQ(r.IdWord(1), 0xFFFF);
    });
}

} // namespace
} // namespace mrk
