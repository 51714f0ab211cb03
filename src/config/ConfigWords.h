#pragma once
// The configuration bytes as the configuration window handles them: the write
// with its protection presets, and the bit-string form of a byte.
#include <cstdint>
#include <string>

#include "config/ConfigAccess.h"

namespace mrk {

// What a configuration write puts on the chip: the bytes as they stand, all
// protection off, or code protection on.
enum class ConfigPreset { AsEdited, ProtectionOff, CodeProtection };

// True when the chip reads back exactly configWrite with the preset laid over
// it; the result text goes to the result line.
[[nodiscard]] bool WriteWordConfig(const ConfigAccess& access, ConfigPreset preset);

// The 8 bits of a byte, most significant first ("10100101" for 0xA5).
std::string ByteStrToBin(uint8_t value);

} // namespace mrk
