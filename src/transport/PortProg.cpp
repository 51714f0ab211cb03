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
    if (third && fourth) ++ctx.portProg.EchoesAnswered;
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

void Handshake(Context& ctx) {
    ctx.portProg.ProgAnswered = false;
    if (FtPutSample(ctx)) return;
    ctx.portProg.ProgAnswered = EchoCycle(ctx);
}

void Delay(Context& ctx, uint16_t n) {
    if (FtDelay(ctx, n)) return;
    // The delay line paces the wait: once it stops echoing there is nothing left
    // to wait on (a missing echo costs thousands of reads per cycle), and the
    // handshake flag says the programmer is gone.
    for (uint32_t i = 0; i <= n; ++i) {
        if (!EchoCycle(ctx)) {
            ctx.portProg.ProgAnswered = false;
            return;
        }
    }
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

void SetVpp(Context& ctx, uint8_t on) {
    if (FtSetVpp(ctx, on)) return;
    if (on & 1) {
        // Two stages: MCLR first stage alone, settle, then programming voltage.
        SetShadowBit(ctx, kBitMclrStage, true);
        SetShadowBit(ctx, kBitVpp, false);
        WriteShadow(ctx);
        Delay(ctx, 4000);
        SetShadowBit(ctx, kBitMclrStage, false);
        SetShadowBit(ctx, kBitVpp, true);
        WriteShadow(ctx);
    } else {
        SetShadowBit(ctx, kBitMclrStage, false);
        SetShadowBit(ctx, kBitVpp, false);
        WriteShadow(ctx);
    }
}

uint8_t GetDat(Context& ctx) {
    if (ctx.IsUsb()) return FtGetDat(ctx);
    return (PortIn(ctx, ctx.portProg.AdrLpt + 1) & kStatusPgd) == 0 ? 1 : 0;
}

void ClkPulse(Context& ctx) {
    if (ctx.IsUsb()) {
        FtClkPulse(ctx);
        return;
    }
    Handshake(ctx);
    SetClk(ctx, 1);
    Handshake(ctx);
    SetClk(ctx, 0);
    Handshake(ctx);
}

} // namespace mrk
