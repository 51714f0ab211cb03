#include "app/DebugForm.h"

#include "core/Context.h"
#include "core/Format.h"
#include "icsp/BootLink.h"
#include "icsp/Icsp.h"
#include "transport/FtFunkc.h"
#include "transport/PortProg.h"

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

} // namespace

// The debug window moves the lines by hand and watches them on a scope: what the
// programmer answered is not its business.
void SpeedButton1Click(Context& ctx, DebugForm& f) { (void)SetVpp(ctx, Toggle(f.vpp)); }

void SpeedButton2Click(Context& ctx, DebugForm& f) { SetClk(ctx, Toggle(f.clk)); }

void SpeedButton3Click(Context& ctx, DebugForm& f) { SetDat(ctx, Toggle(f.dat)); }

void SpeedButton4Click(Context& ctx, DebugForm& f) {
    WrZad(ctx, Toggle(f.req));
    f.Label1 = Format("W=%X ", f.req);
}

void SpeedButton5Click(Context& ctx, DebugForm& f) { f.Label1 = Format("R=%X ", RdZad(ctx)); }

void DataClick(Context& ctx, DebugForm& f) {
    RunUntilStopped(ctx, f, [&] {
        for (int k = 0; k < 8; ++k) (void)SendLoaderByte(ctx, 0xAA); // watched on a scope
    });
}

void ZadClick(Context& ctx, DebugForm& f) {
    RunUntilStopped(ctx, f, [&] {
        (void)SendCommand(ctx, cmd::kTableReadPostInc, false);
        static_cast<void>(ReadTableByte(ctx)); // the lines are watched on a scope, the byte is not used
    });
    SetClk(ctx, 0);
    SetDat(ctx, 1);
}

void SpeedButton7Click(Context& ctx, DebugForm& f) {
    RunUntilStopped(ctx, f, [&] {
        ctx.ft.FTIndxOutBuff = 54;
        FtWrite(ctx);
    });
}

void SpeedButton8Click(Context& ctx, DebugForm& f) {
    f.stop = false;
    ctx.host.Pump();
    if (f.stop) return;
    uint8_t v = 0;
    for (int k = 0; k < 101; ++k) {
        SetDat(ctx, v);
        SetClk(ctx, 0);
        v = static_cast<uint8_t>(1 - v);
    }
    FtWrite(ctx);
    for (int k = 0; k < 101; ++k) {
        SetDat(ctx, v);
        SetClk(ctx, 1);
        v = static_cast<uint8_t>(1 - v);
    }
    FtWrite(ctx);
}

void ZaverchClick(DebugForm& f) { f.stop = true; }

void FormClose(DebugForm& f) { f.stop = true; }

} // namespace mrk::debugform
