// One command at a time, and a stop that stops: the gate every command of a
// front end passes, the cycle and the update stopped at their step boundaries.
#include <gtest/gtest.h>

#include "app/AutoCycle.h"
#include "app/CommandGate.h"
#include "app/CommandRig.h"
#include "app/RunObserver.h"

namespace mrk {
namespace {

using sim::BenchKind;
using sim::ChipModel;
using test::CommandRig;

// Records how each outermost run ended (the update inside a cycle is part of
// it), and whether the controls were locked at each step.
struct EndRecorder : RunObserver {
    std::vector<std::string> ends;
    std::vector<int> unlockedAtStep; // steps at which a managed control other than the sender was usable
    PlainControls* ui = nullptr;
    int depth = 0;
    bool RunStarting(Context&, RunKind, uint32_t) override {
        ++depth;
        return true;
    }
    void StepDone(Context& ctx, int step, const char*, bool) override {
        if (!ui || step == 0) return;
        for (int k = 0; k < kManagedControls; ++k) {
            const Ctl c = static_cast<Ctl>(k);
            if (c != Ctl::Avt_Prog_St && c != Ctl::Avtom_Prog_P && ui->Enabled(c)) {
                unlockedAtStep.push_back(step);
                break;
            }
        }
        if (!ctx.commands.ButtonsLocked) unlockedAtStep.push_back(step);
    }
    void RunEnded(Context&, bool ok, uint32_t) override {
        if (--depth == 0) ends.push_back(ok ? "OK" : "X");
    }
    void RunStopped(Context&, uint32_t) override {
        if (--depth == 0) ends.push_back("stopped");
    }
};

void RunCycle(CommandRig& r, const std::string& number) {
    r.ctx.commands.Obnovl = false;
    r.ui.SetFactoryNumberText(number);
    r.ui.SetDown(Ctl::Avtom_Prog_P);
    r.ctx.commands.Gate.Run([&] { Avtom_Prog_PClick(r.ctx, r.ui, Ctl::Avtom_Prog_P); });
}

TEST(CommandGate, ASecondCommandDoesNotStartWhileOneRuns) {
    CommandGate gate;
    int outer = 0, inner = 0;
    gate.RequestStop(StopCause::Operator); // nothing runs: nothing to stop
    EXPECT_TRUE(gate.Run([&] {
        ++outer;
        EXPECT_EQ(gate.Stop(), StopCause::None);
        EXPECT_FALSE(gate.Run([&] { ++inner; }));
        gate.RequestStop(StopCause::Operator);
        gate.RequestStop(StopCause::Closing); // the first cause stays
        EXPECT_EQ(gate.Stop(), StopCause::Operator);
        EXPECT_TRUE(gate.SayStop());
        EXPECT_FALSE(gate.SayStop()) << "said once";
    }));
    EXPECT_EQ(outer, 1);
    EXPECT_EQ(inner, 0);
    EXPECT_FALSE(gate.Running());
    EXPECT_EQ(gate.Stop(), StopCause::None) << "the stop went with its command";
    EXPECT_TRUE(gate.Run([&] { ++inner; }));
    EXPECT_EQ(inner, 1);
}

// "СТОП" pressed while a given line is being logged: the cycle ends at the next
// step boundary, "X", stopped by the operator, nothing after the boundary done.
TEST(CommandGate, StopEndsTheCycleAtTheNextStepBoundary) {
    struct Case {
        const char* pressedAt;
        const char* neverLogged; // the first thing the next step would have logged
    } cases[] = {{"Конфигурация OK", "Прогр. OK"},
                 {"Прогр. OK", "Чтение кристала."},
                 {"Защита OK", "Запись закончена."},
                 {"Запись закончена.", "КС Программы OK."}};
    for (auto kind : {BenchKind::VirtualLpt, BenchKind::VirtualUsb}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(test::KindName(kind)) + " " + c.pressedAt);
            CommandRig r(CommandRig::Blank(ChipModel::PIC18F4620, kind));
            EndRecorder journal;
            r.ctx.runObserver = &journal;
            r.host.onLine = [&](const std::string& l) {
                if (l == c.pressedAt) r.ctx.commands.Gate.RequestStop(StopCause::Operator);
            };
            RunCycle(r, "77");
            EXPECT_EQ(r.host.staticText1, "X");
            EXPECT_TRUE(r.host.EverLogged("Остановлено оператором."));
            EXPECT_FALSE(r.host.EverLogged(c.neverLogged));
            EXPECT_FALSE(r.host.EverLogged("Номер модуля OK."));
            EXPECT_EQ(journal.ends, std::vector<std::string>{"stopped"});
            r.Settle();
            EXPECT_NE(r.IdWord(1), 77) << "the number was not stamped";
            EXPECT_FALSE(r.ctx.commands.ButtonsLocked);
            EXPECT_TRUE(r.ui.Down(Ctl::Avt_Prog_St));
        }
    }
}

TEST(CommandGate, TheWindowClosingStopsTheCycleWithItsOwnWord) {
    CommandRig r(CommandRig::Blank(ChipModel::PIC18F452, BenchKind::VirtualLpt));
    r.host.onLine = [&](const std::string& l) {
        if (l == "Прогр. OK") r.ctx.commands.Gate.RequestStop(StopCause::Closing);
    };
    RunCycle(r, "5");
    EXPECT_EQ(r.host.staticText1, "X");
    EXPECT_TRUE(r.host.EverLogged("Остановлено: программа закрывается."));
    EXPECT_FALSE(r.host.EverLogged("Чтение кристала."));
}

TEST(CommandGate, AStopAfterTheLastBoundaryLetsTheCycleEndAsItWould) {
    CommandRig r(CommandRig::Blank(ChipModel::PIC18F452, BenchKind::VirtualLpt));
    r.host.onLine = [&](const std::string& l) {
        if (l == "Номер модуля OK.") r.ctx.commands.Gate.RequestStop(StopCause::Operator);
    };
    RunCycle(r, "5");
    EXPECT_EQ(r.host.staticText1, "OK");
    EXPECT_FALSE(r.host.EverLogged("Остановлено оператором."));
}

// The update inside the cycle used to unlock the controls at its end, so steps
// 11 and 12 ran with every button usable.
TEST(CommandGate, TheCycleKeepsTheControlsLockedToItsEnd) {
    CommandRig r(CommandRig::Blank(ChipModel::PIC18F4620, BenchKind::VirtualUsb));
    EndRecorder journal;
    journal.ui = &r.ui;
    r.ctx.runObserver = &journal;
    RunCycle(r, "1234");
    ASSERT_EQ(r.host.staticText1, "OK");
    EXPECT_TRUE(journal.unlockedAtStep.empty()) << "first unlocked at step " << journal.unlockedAtStep.front();
    EXPECT_FALSE(r.ctx.commands.ButtonsLocked);
    for (int k = 0; k < kManagedControls; ++k) EXPECT_TRUE(r.ui.Enabled(static_cast<Ctl>(k))) << k;
}

TEST(CommandGate, AnUpdateStoppedWhileWaitingForTheModuleSendsNothing) {
    CommandRig r(CommandRig::Factory(ChipModel::PIC18F4620, BenchKind::VirtualLpt));
    EndRecorder journal;
    r.ctx.runObserver = &journal;
    UpdateResult result = UpdateResult::Confirmed;
    r.ctx.commands.Gate.Run([&] {
        // The close came while the programmer was being opened.
        r.ctx.commands.Gate.RequestStop(StopCause::Closing);
        result = SpeedButton4Click(r.ctx, r.ui, Ctl::SpeedButton4).result;
    });
    EXPECT_TRUE(r.host.EverLogged("Остановлено: программа закрывается."));
    EXPECT_FALSE(r.host.EverLogged("Запись закончена."));
    EXPECT_EQ(journal.ends, std::vector<std::string>{"stopped"});
    EXPECT_EQ(result, UpdateResult::Stopped);
    EXPECT_FALSE(r.ctx.commands.ButtonsLocked);
    EXPECT_TRUE(r.ui.Enabled(Ctl::SpeedButton4));
}

} // namespace
} // namespace mrk
