// The Kordel's line operations: the data register drives PGD, the request and
// the MCLR/VPP stages, the control register PGC; the status register brings
// back the echo and PGD.
#include "transport/Kordel.h"

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

} // namespace

void Kordel::WriteShadow() {
    PortOut(portProg.AdrLpt, portProg.LptShadow);
}

void Kordel::SetShadowBit(uint8_t bit, bool on) {
    auto& s = portProg.LptShadow;
    s = static_cast<uint8_t>(on ? (s | bit) : (s & ~bit));
}

// Waits up to kHandshakePhaseReads reads for RdZad() == want; true if seen.
// A read that brings nothing back sees no echo.
bool Kordel::WaitEcho(uint8_t want) {
    for (int i = 0; i < kHandshakePhaseReads; ++i)
        if (RdZad() == want) return true;
    return false;
}

// Steps 2..9 of the echo cycle; returns whether phases 3 and 4 were both seen.
bool Kordel::EchoCycle() {
    (void)WaitEcho(1); // the first two phases only pace the request
    WrZad(0);
    (void)WaitEcho(0);
    WrZad(1);
    const bool third = WaitEcho(1);
    WrZad(0);
    const bool fourth = WaitEcho(0);
    WrZad(1);
    portProg.EchoAnswered = third && fourth;
    return third && fourth;
}

void Kordel::WrZad(uint8_t level) {
    SetShadowBit(kBitRequest, (level & 1) == 0);
    WriteShadow();
}

std::optional<uint8_t> Kordel::RdZad() {
    const std::optional<uint8_t> status = PortIn(portProg.AdrLpt + 1);
    if (!status) return std::nullopt;
    return (*status & kStatusEcho) == 0 ? 1 : 0;
}

bool Kordel::Handshake() {
    portProg.ProgAnswered = EchoCycle();
    return portProg.ProgAnswered;
}

bool Kordel::Delay(uint16_t n) {
    // The delay line paces the wait: once it stops echoing there is nothing left
    // to wait on (a missing echo costs thousands of reads per cycle), and the
    // handshake flag says the programmer is gone.
    for (uint32_t i = 0; i <= n; ++i) {
        if (!EchoCycle()) {
            portProg.ProgAnswered = false;
            return false;
        }
    }
    return true;
}

void Kordel::SetClk(uint8_t level) {
    PortOut(portProg.AdrLpt + 2, level & 1);
}

void Kordel::SetDat(uint8_t level) {
    SetShadowBit(kBitPgd, (level & 1) != 0);
    WriteShadow();
}

bool Kordel::SetVpp(uint8_t on) {
    if (on & 1) {
        // Two stages: MCLR first stage alone, settle, then programming voltage.
        SetShadowBit(kBitMclrStage, true);
        SetShadowBit(kBitVpp, false);
        WriteShadow();
        const bool answered = Delay(4000);
        SetShadowBit(kBitMclrStage, false);
        SetShadowBit(kBitVpp, true);
        WriteShadow();
        return answered;
    }
    SetShadowBit(kBitMclrStage, false);
    SetShadowBit(kBitVpp, false);
    WriteShadow();
    return true;
}

LineLevel Kordel::GetDat() {
    const std::optional<uint8_t> status = PortIn(portProg.AdrLpt + 1);
    if (!status || !portProg.EchoAnswered) return LineLevel::NoAnswer;
    return LevelOf((*status & kStatusPgd) == 0);
}

bool Kordel::ClkPulse() {
    bool answered = Handshake();
    SetClk(1);
    answered = Handshake() && answered;
    SetClk(0);
    return Handshake() && answered;
}

} // namespace mrk
