// Stand-ins until the commands arrive in app/.
#include "app/MainCommands.h"
#include "app/UpdateCommand.h"
#include "core/Context.h"
#include "image/FileCommands.h"
#include "image/MemoryListing.h"

namespace mrk {
namespace {
bool locked = false;
bool saved[kManagedControls];
}
void UpravlKnopk(Context&, MainControls& ui, Ctl sender, bool lock) {
    if (lock) {
        if (locked) return;
        locked = true;
        for (int i = 0; i < kManagedControls; ++i) saved[i] = ui.Enabled(Ctl(i));
        for (int i = 0; i < kManagedControls; ++i)
            if (Ctl(i) != Ctl::Avt_Prog_St) ui.SetEnabled(Ctl(i), false);
        ui.SetEnabled(sender, true);
        return;
    }
    locked = false;
    for (int i = 0; i < kManagedControls; ++i) ui.SetEnabled(Ctl(i), saved[i]);
}
void ProgClick(Context&, MainControls&) {}
bool SpeedButton4Click(Context& ctx, MainControls& ui, Ctl sender) {
    UpdateCommandSteps steps;
    steps.loadUpdateImage = [&](Context& c) {
        UpravlKnopk(c, ui, sender, true);
        ui.SetBusyCursor(true);
        SpeedButton7Click(c);
        ui.SetEnabled(Ctl::SpeedButton4, false);
    };
    const bool ok = RunUpdateCommand(ctx, steps);
    ui.SetBusyCursor(false);
    ui.SetEnabled(Ctl::SpeedButton4, true);
    UpravlKnopk(ctx, ui, sender, false);
    return ok;
}
void ReadChipClick(Context&, MainControls&) {}
void SravnClick(Context&, MainControls&) {}
void SpeedButton21Click(Context&, MainControls&) {}
void SpeedButton11Click(Context&, MainControls&) {}
void SpeedButton10Click(Context&, MainControls&) {}
void SpeedButton1Click(Context&, MainControls&) {}
void SpeedButton16Click(Context&, MainControls&) {}
void SpeedButton12Click(Context&, MainControls&) {}
void SpeedButton13Click(Context&, MainControls&) {}
void Avtom_Prog_PClick(Context&, MainControls&, Ctl) {}
bool Edit1KeyPress(char32_t ch) { return ch >= U'0' && ch <= U'9'; }
void Edit1KeyDownEnter(Context&, MainControls&) {}
void ShowPage(Context& ctx, MainControls& ui, int page) {
    const Ctl buttons[4] = {Ctl::SpeedButton5, Ctl::SpeedButton6, Ctl::SpeedButton2, Ctl::SpeedButton8};
    for (int k = 0; k < 4; ++k) ui.SetEnabled(buttons[k], k != page);
    Okno_1_2_Str(ctx, ctx.image.ViewSource, static_cast<unsigned>(page));
}
} // namespace mrk
