// The automatic cycle: one run prepares one blank module from the factory number
// typed into Edit1 — erase, configuration, boot loader with verify, code
// protection, update, identity stamp — and ends with "OK" or "X".
#include "app/AutoCycle.h"

#include <optional>

#include "app/CommandGate.h"
#include "app/BootImageWrite.h"
#include "app/ImageAccess.h"
#include "app/MainCommands.h"
#include "app/ParamCommands.h"
#include "app/RunObserver.h"
#include "config/ConfigWords.h"
#include "core/Context.h"
#include "app/ChipRoutines.h"
#include "image/FileCommands.h"
#include "image/LogControl.h"

namespace mrk {

uint16_t FactoryNumber(const std::string& text) {
    // A decimal integer that fits the 16 bits it is stamped in, else 0: a number
    // cut to 16 bits would stamp the module with another number.
    if (text.empty()) return 0;
    uint32_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        v = v * 10 + static_cast<uint32_t>(c - '0');
        if (v > 0xFFFF) return 0;
    }
    return static_cast<uint16_t>(v);
}

uint32_t CycleModuleNumber(uint32_t moduleNumber, uint16_t configChip, uint16_t factoryNumber) {
    return (moduleNumber & 0xFF000000) | static_cast<uint32_t>(configChip & 0xFF) << 16 | factoryNumber;
}

namespace {

void Refuse(Context& ctx, MainControls& ui, const char* text, bool focusEdit1) {
    ctx.host.MessageBox(text, "", MsgKind::Information, MsgButtons::Ok);
    ui.SetDown(Ctl::Avt_Prog_St);
    ui.SetFactoryNumberText("");
    if (focusEdit1) ui.FocusEdit1();
    else ui.FocusMainWindow();
}

// Steps 0-12. Each step's outcome goes to the run's observer; a stop asked for
// ("СТОП", the window closing) is taken between steps.
CycleResult RunSteps(Context& ctx, MainControls& ui, Ctl sender, ObservedRun& run) {
    bool failed = false;
    // 0: a clean log, the erase, the lock.
    ClearOkno(ctx.host);
    ctx.host.Pump();
    if (StopHere(ctx)) return CycleResult::Stopped;
    const bool erased = SpeedButton12Click(ctx, ui).Ok();
    UpravlKnopk(ctx, ui, sender, true);
    // A module the erase did not reach is not prepared further.
    if (!run.Step(0, "очистка", erased)) return CycleResult::Failed;
    if (StopHere(ctx)) return CycleResult::Stopped;
    // 1-2: configuration without protection.
    if (!run.Step(1, "конфигурация", WriteWordConfig(ConfigAccessOf(ctx), ConfigPreset::ProtectionOff))) failed = true;
    ctx.host.Okno(ctx.prog.ConfigStaticText1);
    if (failed) return CycleResult::Failed;
    if (StopHere(ctx)) return CycleResult::Stopped;
    // 3-5: the boot loader, read back and compared.
    if (!run.Step(3, "запись BOOT", WriteBootImage(ctx))) return CycleResult::Failed;
    if (StopHere(ctx)) return CycleResult::Stopped;
    ctx.host.Okno("Чтение кристала.");
    if (!run.Step(5, "сравнение BOOT", ReadBoot(ctx) && CompareChip(ctx))) return CycleResult::Failed;
    if (StopHere(ctx)) return CycleResult::Stopped;
    // 6-9: code protection.
    ui.SelectProtect(true);
    if (!run.Step(7, "защита", WriteWordConfig(ConfigAccessOf(ctx), ConfigPreset::CodeProtection))) failed = true;
    ctx.host.Okno(ctx.prog.ConfigStaticText1);
    if (failed) return CycleResult::Failed;
    ui.SelectProtect(false);
    if (StopHere(ctx)) return CycleResult::Stopped;
    // 10: the update through the boot loader just written (it stops at its own boundaries).
    const UpdateOutcome update = SpeedButton4Click(ctx, ui, sender);
    if (StopHere(ctx)) return CycleResult::Stopped;
    if (!run.Step(10, "обновление", update.Ok())) return CycleResult::Failed;
    // 11: the identity stamp (not after an update-only run). A module that leaves
    // the line without the number reserved for it has failed, whatever step 12 says.
    if (!update.updateOnly) {
        const StampResult stamp = ParamUstanovitClick(ctx);
        if (!run.Step(11, "номер модуля записан", stamp == StampResult::Written || stamp == StampResult::AlreadyThere))
            failed = true;
    }
    // 12: the identity read back; on its own its result does not decide the run.
    const uint32_t n = ctx.commands.ModuleNumber;
    const bool idRead = SpeedButton11Click(ctx, ui).Ok();
    const auto& id = ctx.prog.IdWords;
    if (run.Step(12, "номер модуля проверен", idRead && id[1] == (n & 0xFFFF) && id[2] == (n >> 16)))
        ctx.host.Okno("Номер модуля OK.");
    else ctx.host.Okno("Ошибка записи Номера модуля.");
    return failed ? CycleResult::Failed : CycleResult::Passed;
}

} // namespace

CycleResult Avtom_Prog_PClick(Context& ctx, MainControls& ui, Ctl sender) {
    // Preparation.
    // The cycle's own steps say what a missing programmer means for this module.
    (void)OpenProgrammer(ctx);
    const bool updateLoaded = LoadEmbeddedUpdate(ImageLoadOf(ctx));
    const bool bootLoaded = LoadBootLoaderFile(ImageLoadOf(ctx));
    const std::string text = ui.FactoryNumberText();
    if (text.empty()) {
        Refuse(ctx, ui, "Введите заводской номер.", true);
        return CycleResult::Refused;
    }
    const uint16_t n = FactoryNumber(text);
    if (n == 0) {
        Refuse(ctx, ui, "Неверный заводской номер.", true);
        return CycleResult::Refused;
    }
    auto& c = ctx.commands;
    const bool imagesLoaded = updateLoaded && bootLoaded;
    // The production journal reserves the number before the module is touched; a
    // module that will not be touched leaves its number free.
    std::optional<ObservedRun> run;
    if (imagesLoaded) {
        run.emplace(ctx, RunKind::Cycle, CycleModuleNumber(c.ModuleNumber, c.ConfigChip, n));
        if (run->Refused()) {
            // The indicator still shows the previous module's result; next to a
            // module that was not touched it must not read "OK".
            ctx.host.StaticText1("  ");
            ui.SetDown(Ctl::Avt_Prog_St);
            ui.SetFactoryNumberText("");
            ui.FocusEdit1();
            return CycleResult::Refused;
        }
    }
    c.ModuleNumber = CycleModuleNumber(c.ModuleNumber, c.ConfigChip, n);
    ui.SetFactoryNumberText("");
    ctx.host.StaticText1("  ");

    CycleResult result;
    if (!imagesLoaded) {
        // A module prepared from images that did not load would get an erased
        // boot region or application: it is not touched.
        ctx.host.Okno(!updateLoaded ? "Модуль не программировался: не загрузился файл обновления."
                                    : "Модуль не программировался: не загрузился файл BOOT загрузчика.");
        result = CycleResult::Failed;
    } else {
        result = RunSteps(ctx, ui, sender, *run);
        if (result == CycleResult::Stopped) run->Stopped(c.ModuleNumber);
        else run->End(result == CycleResult::Passed, c.ModuleNumber);
    }

    // The end of every run that passed preparation.
    ctx.host.StaticText1(result == CycleResult::Passed ? "OK" : "X");
    ui.SetDown(Ctl::Avt_Prog_St);
    UpravlKnopk(ctx, ui, sender, false);
    ui.SetFactoryNumberText("");
    ui.FocusEdit1();
    return result;
}

bool Edit1KeyPress(char32_t ch) { return ch >= U'0' && ch <= U'9'; }

CycleResult Edit1KeyDownEnter(Context& ctx, MainControls& ui) {
    const std::string text = ui.FactoryNumberText();
    if (text.empty()) {
        Refuse(ctx, ui, "Введите заводской номер.", false);
        return CycleResult::Refused;
    }
    if (FactoryNumber(text) == 0) {
        Refuse(ctx, ui, "Неверный заводской номер.", true);
        return CycleResult::Refused;
    }
    ui.SetDown(Ctl::Avtom_Prog_P);
    return Avtom_Prog_PClick(ctx, ui, Ctl::Edit1);
}

} // namespace mrk
