#pragma once
// The configuration bytes as the configuration window handles them: the write
// with its protection presets, and the bit-string form of a byte.
#include <cstdint>
#include <string>

namespace mrk {

struct Context;

// kind 0: ConfigWrite as it stands; 1: all protection off; 2: code protection on.
// True when the chip reads back exactly ConfigWrite; the result text goes to
// ctx.prog.ConfigStaticText1.
[[nodiscard]] bool WriteWordConfig(Context& ctx, int kind);

// The 8 bits of a byte, most significant first ("10100101" for 0xA5).
std::string ByteStrToBin(uint8_t value);

} // namespace mrk
