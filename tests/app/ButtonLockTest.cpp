// The command lock and the plain controls the CLI and the tests use.
#include <gtest/gtest.h>

#include "app/MainCommands.h"
#include "app/PlainControls.h"
#include "core/Context.h"
#include "support/RecordingHost.h"

namespace mrk {
namespace {

struct LockRig {
    test::RecordingHost host;
    Context ctx{host};
    PlainControls ui;
};

TEST(ButtonLock, LockDisablesTheManagedControlsButStopAndTheSender) {
    LockRig r;
    r.ui.SetEnabled(Ctl::Avt_Prog_St, true);
    UpravlKnopk(r.ctx, r.ui, Ctl::SpeedButton4, true);
    EXPECT_TRUE(r.ctx.commands.ButtonsLocked);
    for (int k = 0; k < kManagedControls; ++k) {
        const Ctl c = static_cast<Ctl>(k);
        const bool expected = c == Ctl::Avt_Prog_St || c == Ctl::SpeedButton4;
        EXPECT_EQ(r.ui.Enabled(c), expected) << k;
    }
    // The unmanaged controls stay usable.
    for (Ctl c : {Ctl::SpeedButton10, Ctl::SpeedButton11, Ctl::SpeedButton16, Ctl::SpeedButton1, Ctl::SpeedButton19,
                  Ctl::SpeedButton20, Ctl::SpeedButton21, Ctl::Edit1, Ctl::RadioButton1, Ctl::RadioButton2})
        EXPECT_TRUE(r.ui.Enabled(c));
}

TEST(ButtonLock, LockTwiceUnlockOnceRestoresTheFirstLocksStates) {
    LockRig r;
    r.ui.SetEnabled(Ctl::SpeedButton5, false); // the page shown
    r.ui.SetEnabled(Ctl::Avt_Prog_St, false);
    UpravlKnopk(r.ctx, r.ui, Ctl::Avtom_Prog_P, true);
    UpravlKnopk(r.ctx, r.ui, Ctl::SpeedButton4, true); // nested: does nothing
    EXPECT_FALSE(r.ui.Enabled(Ctl::SpeedButton4));
    EXPECT_TRUE(r.ui.Enabled(Ctl::Avtom_Prog_P));
    UpravlKnopk(r.ctx, r.ui, Ctl::SpeedButton4, false);
    EXPECT_FALSE(r.ctx.commands.ButtonsLocked);
    for (int k = 0; k < kManagedControls; ++k) {
        const Ctl c = static_cast<Ctl>(k);
        EXPECT_EQ(r.ui.Enabled(c), c != Ctl::SpeedButton5 && c != Ctl::Avt_Prog_St) << k;
    }
    // A second unlock restores the same saved states again.
    r.ui.SetEnabled(Ctl::Prog, false);
    UpravlKnopk(r.ctx, r.ui, Ctl::Prog, false);
    EXPECT_TRUE(r.ui.Enabled(Ctl::Prog));
    EXPECT_FALSE(r.ui.Enabled(Ctl::SpeedButton5));
}

TEST(ButtonLock, AnUnlockBeforeAnyLockLeavesEverythingEnabled) {
    LockRig r;
    UpravlKnopk(r.ctx, r.ui, Ctl::Prog, false);
    for (int k = 0; k < kManagedControls; ++k) EXPECT_TRUE(r.ui.Enabled(static_cast<Ctl>(k))) << k;
}

TEST(PlainControls, SettingAButtonDownRaisesTheOthersOfItsGroupOnly) {
    PlainControls ui;
    EXPECT_TRUE(ui.Down(Ctl::SpeedButton15));
    ui.SetDown(Ctl::SpeedButton21);
    EXPECT_TRUE(ui.Down(Ctl::SpeedButton21));
    EXPECT_FALSE(ui.Down(Ctl::SpeedButton15));
    EXPECT_FALSE(ui.Down(Ctl::Sravn));
    ui.SetDown(Ctl::SpeedButton15);
    EXPECT_FALSE(ui.Down(Ctl::SpeedButton21));
    // "ПУСК"/"СТОП" are a group of their own, apart from Prog and SpeedButton9.
    ui.SetDown(Ctl::Avtom_Prog_P);
    EXPECT_FALSE(ui.Down(Ctl::Avt_Prog_St));
    EXPECT_TRUE(ui.Down(Ctl::SpeedButton9));
    ui.SetDown(Ctl::Prog);
    EXPECT_TRUE(ui.Down(Ctl::Avtom_Prog_P));
    EXPECT_FALSE(ui.Down(Ctl::SpeedButton9));
}

} // namespace
} // namespace mrk
