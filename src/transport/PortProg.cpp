#include "transport/PortProg.h"

#include "core/Context.h"
#include "transport/DirectPort.h"
#include "transport/FtFunkc.h"

namespace mrk {

namespace {

// Data-register bits of the Kordel programmer.
constexpr uint8_t kBitPgd = 0x01;
constexpr uint8_t kBitRequest = 0x02;
constexpr uint8_t kBitMclrStage = 0x04;
constexpr uint8_t kBitVpp = 0x10;
// Status-register bits (active low at the pins as read).
constexpr uint8_t kStatusPgd = 0x10;
constexpr uint8_t kStatusEcho = 0x40;

void WriteShadow(Context& ctx) {
    PortOut(ctx, ctx.portProg.AdrLpt, ctx.portProg.LptShadow);
}

void SetShadowBit(Context& ctx, uint8_t bit, bool on) {
    auto& s = ctx.portProg.LptShadow;
    s = static_cast<uint8_t>(on ? (s | bit) : (s & ~bit));
}

// Waits up to kHandshakePhaseReads reads for RdZad() == want; true if seen.
bool WaitEcho(Context& ctx, uint8_t want) {
    for (int i = 0; i < kHandshakePhaseReads; ++i)
        if (RdZad(ctx) == want) return true;
    return false;
}

// Steps 2..9 of the echo cycle; returns whether phases 3 and 4 were both seen.
bool EchoCycle(Context& ctx) {
    WaitEcho(ctx, 1);
    WrZad(ctx, 0);
    WaitEcho(ctx, 0);
    WrZad(ctx, 1);
    const bool third = WaitEcho(ctx, 1);
    WrZad(ctx, 0);
    const bool fourth = WaitEcho(ctx, 0);
    WrZad(ctx, 1);
    ctx.portProg.EchoAnswered = third && fourth;
    return third && fourth;
}

} // namespace

void WrZad(Context& ctx, uint8_t level) {
    SetShadowBit(ctx, kBitRequest, (level & 1) == 0);
    WriteShadow(ctx);
}

uint8_t RdZad(Context& ctx) {
    return (PortIn(ctx, ctx.portProg.AdrLpt + 1) & kStatusEcho) == 0 ? 1 : 0;
}

bool Handshake(Context& ctx) {
    ctx.portProg.ProgAnswered = false;
    if (FtPutSample(ctx)) return true;
    ctx.portProg.ProgAnswered = EchoCycle(ctx);
    return ctx.portProg.ProgAnswered;
}

bool Delay(Context& ctx, uint16_t n) {
    if (FtDelay(ctx, n)) return ctx.ft.FtAnswered;
    // The delay line paces the wait: once it stops echoing there is nothing left
    // to wait on (a missing echo costs thousands of reads per cycle), and the
    // handshake flag says the programmer is gone.
    for (uint32_t i = 0; i <= n; ++i) {
        if (!EchoCycle(ctx)) {
            ctx.portProg.ProgAnswered = false;
            return false;
        }
    }
    return true;
}

void SetClk(Context& ctx, uint8_t level) {
    if (FtSetClk(ctx, level)) return;
    PortOut(ctx, ctx.portProg.AdrLpt + 2, level & 1);
}

void SetDat(Context& ctx, uint8_t level) {
    if (FtSetDat(ctx, level)) return;
    SetShadowBit(ctx, kBitPgd, (level & 1) != 0);
    WriteShadow(ctx);
}

bool SetVpp(Context& ctx, uint8_t on) {
    if (FtSetVpp(ctx, on)) return ctx.ft.FtAnswered;
    if (on & 1) {
        // Two stages: MCLR first stage alone, settle, then programming voltage.
        SetShadowBit(ctx, kBitMclrStage, true);
        SetShadowBit(ctx, kBitVpp, false);
        WriteShadow(ctx);
        const bool answered = Delay(ctx, 4000);
        SetShadowBit(ctx, kBitMclrStage, false);
        SetShadowBit(ctx, kBitVpp, true);
        WriteShadow(ctx);
        return answered;
    }
    SetShadowBit(ctx, kBitMclrStage, false);
    SetShadowBit(ctx, kBitVpp, false);
    WriteShadow(ctx);
    return true;
}

LineLevel GetDat(Context& ctx) {
    if (ctx.IsUsb()) return FtGetDat(ctx);
    // The status input of a port with no Kordel on it still reads as a level;
    // only the delay line's echo says whether anybody drives it.
    const bool high = (PortIn(ctx, ctx.portProg.AdrLpt + 1) & kStatusPgd) == 0;
    if (!ctx.portProg.EchoAnswered) return LineLevel::NoAnswer;
    return LevelOf(high);
}

bool ClkPulse(Context& ctx) {
    if (ctx.IsUsb()) {
        FtClkPulse(ctx);
        return true;
    }
    bool answered = Handshake(ctx);
    SetClk(ctx, 1);
    answered = Handshake(ctx) && answered;
    SetClk(ctx, 0);
    return Handshake(ctx) && answered;
}

} // namespace mrk
