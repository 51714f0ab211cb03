#pragma once
// The line operations: the one boundary between the programming protocol and
// the two programmers. Each operation follows the interface indicator (CheckUSB)
// at the moment of the call: USB queues samples, LPT acts on the port at once.
#include <cstdint>

#include "transport/LineLevel.h"

namespace mrk {

struct Context;

// SetVpp and Delay say whether the programmer answered: on LPT every echo cycle
// they waited on; on USB a delay its transfer and every poll, a VPP change that
// the device took it (its read-back counts in the next delay or transfer).
[[nodiscard]] bool SetVpp(Context& ctx, uint8_t on);
void SetClk(Context& ctx, uint8_t level);
void SetDat(Context& ctx, uint8_t level);   // 1 drives PGD low, 0 releases it
// PGD as the target drives it, or no answer when the programmer gave none: on
// LPT its last echo cycle went unanswered, on USB the transfer did not come back whole.
[[nodiscard]] LineLevel GetDat(Context& ctx);
// These two say whether the programmer answered: on LPT every echo cycle of
// theirs was echoed in time; on USB they only queue samples and always answer.
[[nodiscard]] bool ClkPulse(Context& ctx);
[[nodiscard]] bool Handshake(Context& ctx);
// n units of about 10 us. On LPT it ends early, clearing ProgAnswered, at the
// first echo cycle the programmer does not answer.
[[nodiscard]] bool Delay(Context& ctx, uint16_t n);

// Delay-line request and echo: always the LPT port, whatever the interface.
void WrZad(Context& ctx, uint8_t level);
uint8_t RdZad(Context& ctx);

// Reads per handshake phase before the phase gives up.
constexpr int kHandshakePhaseReads = 1201;

} // namespace mrk
