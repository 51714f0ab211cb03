#include "app/UpdateCommand.h"

#include "core/Context.h"
#include "icsp/BootLink.h"
#include "icsp/ConfigId.h"
#include "icsp/OpenProgrammer.h"
#include "transport/PortProg.h"

namespace mrk {

namespace {

enum class Wait { Answered, NotConnected, NoAnswer };

// The programmer must get through its handshakes before four one-second timer
// ticks; then the module must answer an ID read with something other than zeros.
Wait WaitForModule(Context& ctx) {
    for (int attempt = 0; attempt < kProgrammerWaitAttempts; ++attempt) {
        const uint32_t t0 = ctx.TickMs();
        bool timedOut = false;
        for (int pass = 0; pass < kProgrammerWaitPasses; ++pass) {
            const uint32_t ticks = (ctx.TickMs() - t0) / 1000;
            if (ticks > 3) {
                timedOut = true;
                break;
            }
            ctx.host.Pump();
            Handshake(ctx);
        }
        if (timedOut) {
            if (attempt == 2) {
                ctx.host.Okno("Ошибка.Программатор не подключен к компьютеру.");
                return Wait::NotConnected;
            }
            continue;
        }
        ReadIdWords(ctx);
        for (uint32_t w : ctx.prog.IdWords)
            if (w != 0) return Wait::Answered;
    }
    ctx.host.Okno("Неисправность или не включен адаптер программатора.");
    return Wait::NoAnswer;
}

} // namespace

bool RunUpdateCommand(Context& ctx, const UpdateCommandSteps& steps) {
    auto& tag = ctx.commands.SpeedButton4Tag;
    if (!OpenProgrammer(ctx) && ctx.commands.Obnovl) return false;
    if (steps.loadUpdateImage) steps.loadUpdateImage(ctx);
    if (ctx.commands.Obnovl) ctx.host.ClearLog(); // update-only mode starts a clean log

    if (WaitForModule(ctx) != Wait::Answered) {
        tag |= 1;
        return false;
    }
    Delay(ctx, 65000);
    for (int attempt = 0; attempt < kUpdateWriteAttempts; ++attempt) {
        ctx.portProg.LptShadow = 0x08;
        SetVpp(ctx, 0);
        SetClk(ctx, 1);
        SetDat(ctx, 0);
        SetVpp(ctx, 0);
        const int r = WriteUpdate(ctx);
        if (r == kUpdateSent) break;
        if (r == kUpdateNoLoader) {
            tag |= 1;
            return false;
        }
    }
    Delay(ctx, 65000);
    if (ctx.commands.Obnovl) tag |= 2;
    else tag &= ~2u;
    Delay(ctx, 65000);

    const size_t sums = 2u * ctx.prog.ChipWords;
    const uint8_t lo = ctx.image.BuffEt[sums + 1], hi = ctx.image.BuffEt[sums + 2];
    for (int t = 0; t < kChecksumTries; ++t) {
        ReadIdWords(ctx);
        const uint32_t w0 = ctx.prog.IdWords[0];
        if ((w0 & 0xFF) == lo && ((w0 >> 8) & 0xFF) == hi) {
            ctx.host.Okno("КС Программы OK.");
            ctx.host.Okno("Можно подключить следующий модуль.");
            tag &= ~1u;
            return true;
        }
    }
    ctx.host.Okno("Ошибка записи Программы.");
    tag |= 1;
    return false;
}

} // namespace mrk
