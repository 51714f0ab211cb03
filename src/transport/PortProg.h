#pragma once
// The line operations: the one boundary between the programming protocol and
// the two programmers. Each operation follows the interface indicator (CheckUSB)
// at the moment of the call: USB queues samples, LPT acts on the port at once.
#include <cstdint>

namespace mrk {

struct Context;

void SetVpp(Context& ctx, uint8_t on);
void SetClk(Context& ctx, uint8_t level);
void SetDat(Context& ctx, uint8_t level);   // 1 drives PGD low, 0 releases it
uint8_t GetDat(Context& ctx);                // PGD level as the target drives it
void ClkPulse(Context& ctx);
void Handshake(Context& ctx);
// n units of about 10 us. On LPT it ends early, clearing ProgAnswered, at the
// first echo cycle the programmer does not answer.
void Delay(Context& ctx, uint16_t n);

// Delay-line request and echo: always the LPT port, whatever the interface.
void WrZad(Context& ctx, uint8_t level);
uint8_t RdZad(Context& ctx);

// Reads per handshake phase before the phase gives up.
constexpr int kHandshakePhaseReads = 1201;

} // namespace mrk
