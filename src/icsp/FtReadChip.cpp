// Program-memory read on USB: the samples of 32 words go out in one transfer
// and the marked read-back bytes carry the data bits.
#include "core/Context.h"
#include "icsp/Icsp.h"
#include "icsp/ProgramMemory.h"
#include "transport/FtFunkc.h"
#include "transport/LinkWatch.h"
#include "transport/PortProg.h"

namespace mrk {

namespace {
constexpr uint32_t kBatchWords = 32;
constexpr uint8_t kMarkBit = 0x80;
constexpr uint8_t kPgdInBit = 0x08;
} // namespace

bool FtReadChip(Context& ctx) {
    const LinkWatch link(ctx);
    EnterProgModeA(ctx);
    ClearTblPtr(ctx);
    const uint32_t n = ctx.ind.SpeedButton21 ? ctx.prog.ChipWords : ctx.prog.BootWords;
    ctx.host.GaugeMax(static_cast<long>(n));
    ctx.host.GaugePos(0);
    Handshake(ctx);
    if (link.Lost()) return AbandonLostProgrammer(ctx);
    for (uint32_t w = 1; w <= n; ++w) {
        ctx.host.GaugePos(w);
        for (int half = 0; half < 2; ++half) {
            SendCommand(ctx, cmd::kTableReadPostInc, false);
            FtClockByteIn(ctx);
        }
        if (w % kBatchWords == 0 && !FtDecodeWords(ctx, w)) return AbandonLostProgrammer(ctx);
        ctx.host.Pump();
    }
    ExitProgMode(ctx);
    SetVpp(ctx, 0);
    return true;
}

bool FtDecodeWords(Context& ctx, uint32_t w) {
    const uint64_t failedBefore = ctx.ft.FtTransfersFailed;
    const uint32_t n = FtWrite(ctx);
    // Samples that never reached the pins, or a read-back cut short, carry no
    // words of the chip's: nothing is decoded from them.
    if (ctx.ft.FtTransfersFailed != failedBefore) return false;
    if (w < kBatchWords) return true;
    uint32_t k = w - kBatchWords;
    uint8_t bits = 0;
    int count = 0;
    int stored = 0;
    bool high = false;
    const auto& in = ctx.d2xx.FtInBuff;
    for (uint32_t i = 0; i < n && i < in.size() && stored < 2 * static_cast<int>(kBatchWords); ++i) {
        if (!(in[i] & kMarkBit)) continue;
        bits = static_cast<uint8_t>(bits >> 1);
        if (in[i] & kPgdInBit) bits |= 0x80;
        if (++count < 8) continue;
        count = 0;
        // Words past the end of BuffChip (a damaged word count) are dropped, not written.
        const size_t at = 2u * k + (high ? 1 : 0);
        if (at < ctx.image.BuffChip.size()) ctx.image.BuffChip[at] = bits;
        if (high) ++k;
        high = !high;
        ++stored;
    }
    return true;
}

} // namespace mrk
