// The main window's single-step commands: boot write, read, compare, the ID and
// device-ID services, the update sums, erase, code protection, the memory pages.
#include "app/BootImageWrite.h"
#include "app/ChipRange.h"
#include "app/ImageAccess.h"
#include "app/MainCommands.h"
#include "config/ConfigWords.h"
#include "core/Context.h"
#include "app/ChipRoutines.h"
#include "image/CalCrc.h"
#include "image/LogControl.h"
#include "image/MemoryListing.h"

namespace mrk {

void ProgClick(Context& ctx, MainControls& ui) {
    ClearOkno(ctx.host);
    UpravlKnopk(ctx, ui, Ctl::Prog, true);
    // "Прогр. OK" or why not is in the log; nothing follows the button's write.
    (void)WriteBootImage(ctx);
    UpravlKnopk(ctx, ui, Ctl::Prog, false);
    ui.SetDown(Ctl::SpeedButton9);
}

void ReadChipClick(Context& ctx, MainControls& ui) {
    UpravlKnopk(ctx, ui, Ctl::ReadChip, true);
    const bool read = ReadBoot(ctx);
    UpravlKnopk(ctx, ui, Ctl::ReadChip, false);
    ctx.image.ViewSource = MemorySource::Chip;
    // A read that broke off lists nothing as chip data: the log keeps why it
    // stopped, and the pages mark what was not read.
    if (read) ShowPage(ctx, ui, 0);
    ui.SetDown(Ctl::SpeedButton14);
}

namespace {

// The two compares differ in what they read and in the range toggle, which
// is down only while " Сравн. Пр.Пам." runs.
void Compare(Context& ctx, MainControls& ui, Ctl sender, bool whole) {
    ChipRange range(ctx, whole);
    UpravlKnopk(ctx, ui, sender, true);
    const bool read = range.Read();
    // Without a whole read-back there is nothing to compare: the log keeps why.
    if (read) {
        ClearOkno(ctx.host);
        HoldOknoRepaint(ctx.host, true);
        // Every difference and the verdict are in the log.
        (void)CompareChip(ctx);
    }
    UpravlKnopk(ctx, ui, sender, false);
    HoldOknoRepaint(ctx.host, false);
    ui.SetDown(Ctl::SpeedButton15);
}

} // namespace

void SravnClick(Context& ctx, MainControls& ui) { Compare(ctx, ui, Ctl::Sravn, false); }

void SpeedButton21Click(Context& ctx, MainControls& ui) { Compare(ctx, ui, Ctl::SpeedButton21, true); }

bool SpeedButton11Click(Context& ctx, MainControls&) { return ReadIdWords(ctx); }

void SpeedButton10Click(Context& ctx, MainControls&) {
    const auto& id = ctx.prog.IdWords;
    // WR ID says nothing when it went through; a lost programmer is logged by the write.
    (void)WriteIdWords(ctx, static_cast<uint16_t>(id[1]), static_cast<uint16_t>(id[2]), static_cast<uint16_t>(id[3]));
}

// The device ID, or why not, is in the service line and the log.
void SpeedButton1Click(Context& ctx, MainControls&) { (void)ReadDevIdPlain(ctx); }

void SpeedButton16Click(Context& ctx, MainControls&) {
    ctx.prog.Label2Text = CalCrcText(ctx.image, TargetChipOf(ctx));
    ctx.host.Label2(ctx.prog.Label2Text);
}

bool SpeedButton12Click(Context& ctx, MainControls& ui) {
    const bool erased = EraseChip(ctx, [](Context& c) { ClearOkno(c.host); });
    ui.SetDown(Ctl::SpeedButton12);
    ui.FocusEdit1();
    return erased;
}

void SpeedButton13Click(Context& ctx, MainControls& ui) {
    if (!ui.ProtectSelected()) return;
    const bool ok = WriteWordConfig(ConfigAccessOf(ctx), ConfigPreset::CodeProtection);
    ctx.host.StaticText1(ok ? "OK" : "X");
    ctx.host.Okno(ctx.prog.ConfigStaticText1);
}

void ShowPage(Context& ctx, MainControls& ui, int page) {
    static constexpr Ctl kPageButtons[4] = {Ctl::SpeedButton5, Ctl::SpeedButton6, Ctl::SpeedButton2,
                                           Ctl::SpeedButton8};
    if (page < 0 || page > 3) return;
    for (int k = 0; k < 4; ++k) ui.SetEnabled(kPageButtons[k], k != page);
    Okno_1_2_Str(ctx.host, ctx.image, ctx.prog.ChipWords, ctx.image.ViewSource, static_cast<unsigned>(page));
}

} // namespace mrk
