// The main window's single-step commands: boot write, read, compare, the ID and
// device-ID services, the update sums, erase, code protection, the memory pages.
#include "app/ChipOperations.h"
#include "app/ImageAccess.h"
#include "app/MainCommands.h"
#include "core/Context.h"
#include "image/CalCrc.h"
#include "image/MemoryListing.h"

namespace mrk {

ChipOutcome ProgClick(Context& ctx, MainControls& ui) {
    UpravlKnopk(ctx, ui, Ctl::Prog, true);
    // "Прогр. OK" or why not is in the log.
    ChipOutcome out = WriteBootRegion(ctx);
    UpravlKnopk(ctx, ui, Ctl::Prog, false);
    ui.SetDown(Ctl::SpeedButton9);
    return out;
}

MemoryReadOutcome ReadChipClick(Context& ctx, MainControls& ui) {
    UpravlKnopk(ctx, ui, Ctl::ReadChip, true);
    MemoryReadOutcome out = ReadProgramMemory(ctx, false);
    UpravlKnopk(ctx, ui, Ctl::ReadChip, false);
    // A read that broke off lists nothing as chip data: the log keeps why it
    // stopped, and the pages mark what was not read.
    if (out.Ok()) ShowPage(ctx, ui, 0);
    ui.SetDown(Ctl::SpeedButton14);
    return out;
}

namespace {

// The two compares differ in what they read and in the range toggle, which
// is down only while " Сравн. Пр.Пам." runs.
CompareOutcome Compare(Context& ctx, MainControls& ui, Ctl sender, bool whole) {
    UpravlKnopk(ctx, ui, sender, true);
    // Every difference and the verdict are in the log, or why nothing was compared.
    CompareOutcome out = CompareProgramMemory(ctx, whole);
    UpravlKnopk(ctx, ui, sender, false);
    ui.SetDown(Ctl::SpeedButton15);
    return out;
}

} // namespace

CompareOutcome SravnClick(Context& ctx, MainControls& ui) { return Compare(ctx, ui, Ctl::Sravn, false); }

CompareOutcome SpeedButton21Click(Context& ctx, MainControls& ui) { return Compare(ctx, ui, Ctl::SpeedButton21, true); }

IdReadOutcome SpeedButton11Click(Context& ctx, MainControls&) { return ReadIdentity(ctx); }

ChipOutcome SpeedButton10Click(Context& ctx, MainControls&) {
    const auto& id = ctx.prog.IdWords;
    // WR ID says nothing when it went through; a lost programmer is logged by the write.
    // The words are those RD ID read from the module: no new number.
    return WriteIdentity(ctx, static_cast<uint16_t>(id[1]), static_cast<uint16_t>(id[2]), static_cast<uint16_t>(id[3]),
                         false);
}

// The device ID, or why not, is in the service line and the log.
DevIdOutcome SpeedButton1Click(Context& ctx, MainControls&) { return ReadDeviceId(ctx); }

void SpeedButton16Click(Context& ctx, MainControls&) {
    ctx.prog.Label2Text = CalCrcText(ctx.image, TargetChipOf(ctx));
    ctx.host.Label2(ctx.prog.Label2Text);
}

ChipOutcome SpeedButton12Click(Context& ctx, MainControls& ui) {
    ChipOutcome out = EraseWholeChip(ctx);
    ui.SetDown(Ctl::SpeedButton12);
    ui.FocusEdit1();
    return out;
}

ConfigWriteOutcome SpeedButton13Click(Context& ctx, MainControls& ui) {
    if (!ui.ProtectSelected()) return {{ChipResult::NotBegun, {}}, {}};
    ConfigWriteOutcome out = WriteConfiguration(ctx, ConfigPreset::CodeProtection);
    ctx.host.StaticText1(out.Ok() ? "OK" : "X");
    ctx.host.Okno(out.message);
    return out;
}

void ShowPage(Context& ctx, MainControls& ui, int page) {
    static constexpr Ctl kPageButtons[4] = {Ctl::SpeedButton5, Ctl::SpeedButton6, Ctl::SpeedButton2,
                                           Ctl::SpeedButton8};
    if (page < 0 || page > 3) return;
    for (int k = 0; k < 4; ++k) ui.SetEnabled(kPageButtons[k], k != page);
    Okno_1_2_Str(ctx.host, ctx.image, ctx.prog.ChipWords, ctx.image.ViewSource, static_cast<unsigned>(page));
}

} // namespace mrk
