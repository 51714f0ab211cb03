// Program-memory read on USB: the samples of 128 words go out in one transfer
// and the engine brings back their bytes.
#include "core/Context.h"
#include "icsp/Icsp.h"
#include "icsp/ProgramMemory.h"
#include "transport/FtFunkc.h"
#include "transport/PortProg.h"

namespace mrk {

namespace {
// As many words as one transfer holds comfortably (about 300 samples a word).
constexpr uint32_t kBatchWords = 128;
} // namespace

bool FtReadChip(Context& ctx) {
    ctx.image.ChipReadBrokeAt = 0;
    const bool entered = EnterProgModeA(ctx) && ClearTblPtr(ctx);
    const uint32_t n = ctx.ind.SpeedButton21 ? ctx.prog.ChipWords : ctx.prog.BootWords;
    ctx.host.GaugeMax(static_cast<long>(n));
    ctx.host.GaugePos(0);
    if (!entered || !Handshake(ctx)) return AbandonLostProgrammer(ctx);
    for (uint32_t w = 1; w <= n; ++w) {
        ctx.host.GaugePos(w);
        for (int half = 0; half < 2; ++half) {
            // Only queued on USB: FtDecodeWords learns from the transfer whether it came back.
            (void)SendCommand(ctx, cmd::kTableReadPostInc, false);
            FtClockByteIn(ctx);
        }
        if (w % kBatchWords == 0 && !FtDecodeWords(ctx, w)) return AbandonLostProgrammer(ctx);
        ctx.host.Pump();
    }
    ExitProgMode(ctx);
    (void)SetVpp(ctx, 0); // every word is in; the next command asks the programmer again
    ctx.image.ChipReadBrokeAt.reset();
    return true;
}

bool FtDecodeWords(Context& ctx, uint32_t w) {
    uint8_t bytes[2 * kBatchWords];
    // Samples that never reached the pins, or a read-back cut short, carry no
    // words of the chip's: nothing is taken from them.
    if (w < kBatchWords || !FtReadQueuedBytes(ctx, bytes, sizeof bytes)) return false;
    const size_t at = 2u * (w - kBatchWords);
    // Words past the end of BuffChip (a damaged word count) are dropped, not written.
    for (size_t k = 0; k < sizeof bytes && at + k < ctx.image.BuffChip.size(); ++k) ctx.image.BuffChip[at + k] = bytes[k];
    ctx.image.ChipReadBrokeAt = w;
    return true;
}

} // namespace mrk
