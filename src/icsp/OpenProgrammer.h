#pragma once

namespace mrk {

struct Context;

// Finds the programmer (LPT first, then USB), reports it once, then identifies
// the chip by its device ID and sets the chip indicators, ChipWords and BootWords.
// True when a PIC18F4620 or PIC18F452 was recognised.
[[nodiscard]] bool OpenProgrammer(Context& ctx);

// Attempts the identification makes before giving up.
constexpr int kIdentifyAttempts = 101;

} // namespace mrk
