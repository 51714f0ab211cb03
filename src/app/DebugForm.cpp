#include "app/DebugForm.h"

#include "core/Context.h"
#include "core/Format.h"
#include "app/ChipRoutines.h"
#include "icsp/Icsp.h"
#include "transport/Kordel.h"
#include "transport/Surtan.h"

namespace mrk::debugform {

namespace {

template <class Cycle>
void RunUntilStopped(Context& ctx, DebugForm& f, Cycle&& cycle) {
    f.stop = false;
    for (;;) {
        ctx.host.Pump();
        if (f.stop) return;
        cycle();
    }
}

uint8_t Toggle(uint8_t& level) {
    level = static_cast<uint8_t>(1 - level);
    return level;
}

// Sends what the Surtan has queued (and waits for its read-back); the Kordel
// acts at once and has nothing queued.
void SendQueued(Context& ctx) {
    if (SampleBatch* batch = ctx.line().Batch()) (void)batch->Flush(); // the lines are watched on a scope
}

} // namespace

// The debug window moves the lines by hand and watches them on a scope: what the
// programmer answered is not its business.
void SpeedButton1Click(Context& ctx, DebugForm& f) { (void)ctx.line().SetVpp(Toggle(f.vpp)); }

void SpeedButton2Click(Context& ctx, DebugForm& f) { ctx.line().SetClk(Toggle(f.clk)); }

void SpeedButton3Click(Context& ctx, DebugForm& f) { ctx.line().SetDat(Toggle(f.dat)); }

void SpeedButton4Click(Context& ctx, DebugForm& f) {
    ctx.kordel.WrZad(Toggle(f.req));
    f.Label1 = Format("W=%X ", f.req);
}

// A port that cannot be read shows no echo.
void SpeedButton5Click(Context& ctx, DebugForm& f) { f.Label1 = Format("R=%X ", ctx.kordel.RdZad().value_or(0)); }

void DataClick(Context& ctx, DebugForm& f) {
    RunUntilStopped(ctx, f, [&] {
        for (int k = 0; k < 8; ++k) (void)SendLoaderByte(ctx, 0xAA); // watched on a scope
    });
}

void ZadClick(Context& ctx, DebugForm& f) {
    RunUntilStopped(ctx, f, [&] {
        (void)SendCommand(ctx.line(), cmd::kTableReadPostInc, false);
        static_cast<void>(ReadTableByte(ctx.line())); // the lines are watched on a scope, the byte is not used
    });
    ctx.line().SetClk(0);
    ctx.line().SetDat(1);
}

void SpeedButton7Click(Context& ctx, DebugForm& f) {
    RunUntilStopped(ctx, f, [&] {
        ctx.ft.FTIndxOutBuff = 54;
        SendQueued(ctx);
    });
}

void SpeedButton8Click(Context& ctx, DebugForm& f) {
    f.stop = false;
    ctx.host.Pump();
    if (f.stop) return;
    uint8_t v = 0;
    for (int k = 0; k < 101; ++k) {
        ctx.line().SetDat(v);
        ctx.line().SetClk(0);
        v = static_cast<uint8_t>(1 - v);
    }
    SendQueued(ctx);
    for (int k = 0; k < 101; ++k) {
        ctx.line().SetDat(v);
        ctx.line().SetClk(1);
        v = static_cast<uint8_t>(1 - v);
    }
    SendQueued(ctx);
}

void ZaverchClick(DebugForm& f) { f.stop = true; }

void FormClose(DebugForm& f) { f.stop = true; }

} // namespace mrk::debugform
