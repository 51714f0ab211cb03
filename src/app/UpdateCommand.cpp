#include "app/UpdateCommand.h"

#include "app/CommandGate.h"
#include "app/ImageAccess.h"
#include "app/MainCommands.h"
#include "app/RunObserver.h"
#include "core/Context.h"
#include "app/ChipRoutines.h"
#include "image/FileCommands.h"
#include "image/LogControl.h"
#include "transport/Kordel.h"

namespace mrk {

namespace {

enum class Wait { Answered, NotConnected, NoAnswer, ProgrammerLost, Stopped };

// One ID read of this run; when it got through, the identity the module answered
// with is the one its record carries (never what an earlier read left behind).
bool ReadModuleIdWords(Context& ctx, std::optional<uint32_t>& identity) {
    if (!ReadIdWords(ctx)) return false;
    const auto& id = ctx.prog.IdWords;
    identity = (id[1] & 0xFFFF) | (id[2] & 0xFFFF) << 16;
    return true;
}

// The programmer must get through its handshakes before four one-second timer
// ticks; then the module must answer an ID read with something other than zeros.
Wait WaitForModule(Context& ctx, std::optional<uint32_t>& identity) {
    for (int attempt = 0; attempt < kProgrammerWaitAttempts; ++attempt) {
        if (StopHere(ctx)) return Wait::Stopped;
        const uint32_t t0 = ctx.TickMs();
        bool timedOut = false;
        for (int pass = 0; pass < kProgrammerWaitPasses; ++pass) {
            const uint32_t ticks = (ctx.TickMs() - t0) / 1000;
            if (ticks > 3) {
                timedOut = true;
                break;
            }
            ctx.host.Pump();
            // A programmer that does not answer shows as the time its handshakes
            // take: the timer ends the passes.
            (void)ctx.line().Handshake();
        }
        if (timedOut) {
            if (attempt == 2) {
                ctx.host.Okno("Ошибка.Программатор не подключен к компьютеру.");
                return Wait::NotConnected;
            }
            continue;
        }
        // A programmer that stopped answering (the read said so) is not asked again.
        if (!ReadModuleIdWords(ctx, identity)) return Wait::ProgrammerLost;
        for (uint32_t w : ctx.prog.IdWords)
            if (w != 0) return Wait::Answered;
    }
    ctx.host.Okno("Неисправность или не включен адаптер программатора.");
    return Wait::NoAnswer;
}

// Up to ten runs of the boot-loader link; the result of the last one (a run not
// begun because of a stop counts as a lost block).
LinkResult SendUpdate(Context& ctx) {
    LinkResult r = LinkResult::BlockLost;
    for (int attempt = 0; attempt < kUpdateWriteAttempts; ++attempt) {
        if (StopHere(ctx)) break;
        ctx.portProg.LptShadow = 0x08;
        // The link's reset asks the programmer first thing: it says whether it is there.
        (void)ctx.line().SetVpp(0);
        ctx.line().SetClk(1);
        ctx.line().SetDat(0);
        (void)ctx.line().SetVpp(0);
        r = WriteUpdate(ctx);
        if (r != LinkResult::BlockLost) break;
    }
    return r;
}

// ID word 0 must come to hold the two sums stored behind the update image.
bool ConfirmChecksum(Context& ctx, std::optional<uint32_t>& identity) {
    const size_t sums = 2u * ctx.prog.ChipWords;
    const uint8_t lo = ctx.image.BuffEt[sums + 1], hi = ctx.image.BuffEt[sums + 2];
    for (int t = 0; t < kChecksumTries; ++t) {
        if (StopHere(ctx)) return false;
        // A programmer that stopped answering will not answer the next try either.
        if (!ReadModuleIdWords(ctx, identity)) return false;
        const uint32_t w0 = ctx.prog.IdWords[0];
        if ((w0 & 0xFF) == lo && ((w0 >> 8) & 0xFF) == hi) return true;
    }
    return false;
}

} // namespace

UpdateOutcome SpeedButton4Click(Context& ctx, MainControls& ui, Ctl sender) {
    UpdateOutcome outcome;
    if (!OpenProgrammer(ctx) && ctx.commands.Obnovl) {
        outcome.result = UpdateResult::NoProgrammer;
        return outcome;
    }
    ObservedRun run(ctx, RunKind::Update, 0);

    // Inside the cycle the cycle holds the lock: the update neither takes it nor
    // gives it back, and leaves its own button as the cycle had it, so nothing
    // comes back to life before the cycle ends.
    const bool ownLock = !ctx.commands.ButtonsLocked;
    const bool buttonWasEnabled = ui.Enabled(Ctl::SpeedButton4);
    if (ownLock) UpravlKnopk(ctx, ui, sender, true);
    ui.SetBusyCursor(true);
    const bool loaded = run.Step(2, "загрузка обновления", LoadEmbeddedUpdate(ImageLoadOf(ctx)));
    ui.SetEnabled(Ctl::SpeedButton4, false);
    auto end = [&](UpdateResult result) {
        outcome.result = result;
        // The record carries only the identity this run read from this module.
        run.End(outcome.Ok(), outcome.moduleIdentity.value_or(0)); // nothing when the run was stopped
        ui.SetBusyCursor(false);
        ui.SetEnabled(Ctl::SpeedButton4, ownLock || buttonWasEnabled);
        if (ownLock) UpravlKnopk(ctx, ui, sender, false);
        return outcome;
    };
    auto stopped = [&] {
        run.Stopped(outcome.moduleIdentity.value_or(0));
        return end(UpdateResult::Stopped);
    };
    // Without its image the update would stream an erased region and erase the
    // module's application; the module is not touched.
    if (!loaded) {
        ctx.host.Okno("Обновление не записано: не загрузился файл обновления.");
        return end(UpdateResult::Failed);
    }
    if (ctx.commands.Obnovl) ClearOkno(ctx.host); // update-only mode starts a clean log

    const Wait wait = WaitForModule(ctx, outcome.moduleIdentity);
    if (wait == Wait::Stopped) return stopped();
    if (!run.Step(3, "ожидание модуля", wait == Wait::Answered)) return end(UpdateResult::Failed);
    // The pauses only let the module settle; a programmer gone meanwhile is found
    // by the link's reset and by the ID reads after them.
    (void)ctx.line().Delay(65000);
    const LinkResult r = SendUpdate(ctx);
    if (StopHere(ctx)) return stopped();
    (void)run.Step(5, "запись обновления", r == LinkResult::Sent); // each result is taken below
    if (r == LinkResult::NoLoader || r == LinkResult::ProgrammerLost) return end(UpdateResult::Failed);
    if (r == LinkResult::BlockLost) {
        // The update was not sent whole: whatever sums ID word 0 holds were not
        // made by this run and prove nothing.
        ctx.host.Okno("Ошибка записи Программы.");
        return end(UpdateResult::Failed);
    }
    (void)ctx.line().Delay(65000);
    outcome.updateOnly = ctx.commands.Obnovl;
    (void)ctx.line().Delay(65000);

    const bool ok = run.Step(7, "контрольная сумма", ConfirmChecksum(ctx, outcome.moduleIdentity));
    if (!ok && StopHere(ctx)) return stopped();
    if (ok) {
        ctx.host.Okno("КС Программы OK.");
        ctx.host.Okno("Можно подключить следующий модуль.");
    } else {
        ctx.host.Okno("Ошибка записи Программы.");
    }
    return end(ok ? UpdateResult::Confirmed : UpdateResult::Failed);
}

} // namespace mrk
