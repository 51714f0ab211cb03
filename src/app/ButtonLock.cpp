// UpravlKnopk: the command controls locked around a command. A nested command's
// lock does nothing; any unlock restores the states the last lock saved.
#include "app/MainCommands.h"
#include "core/Context.h"

namespace mrk {

void UpravlKnopk(Context& ctx, MainControls& ui, Ctl sender, bool lock) {
    auto& c = ctx.commands;
    if (lock) {
        if (c.ButtonsLocked) return;
        c.ButtonsLocked = true;
        for (int k = 0; k < kManagedControls; ++k) c.SavedEnabled[k] = ui.Enabled(static_cast<Ctl>(k));
        // "СТОП" keeps its state: it is saved and restored but never disabled.
        for (int k = 0; k < kManagedControls; ++k)
            if (static_cast<Ctl>(k) != Ctl::Avt_Prog_St) ui.SetEnabled(static_cast<Ctl>(k), false);
        ui.SetEnabled(sender, true);
        return;
    }
    c.ButtonsLocked = false;
    for (int k = 0; k < kManagedControls; ++k) ui.SetEnabled(static_cast<Ctl>(k), c.SavedEnabled[k]);
}

} // namespace mrk
