#pragma once
// The chip on the programmer: its kind and sizes as identification found them,
// and what was last read from its non-program memories.
#include <array>
#include <cstdint>

namespace mrk {

struct Chip {
    bool is4620 = false;         // a PIC18F4620 (else the PIC18F452's rules apply)
    uint32_t ChipWords = 0x8000; // program memory in words
    uint16_t BootWords = 0x400;  // boot-loader region in words

    // What was last read from the chip's non-program memories.
    std::array<uint8_t, 14> ConfigRead{};
    uint8_t DevId1 = 0, DevId2 = 0;
    std::array<uint32_t, 4> IdWords{};

    [[nodiscard]] bool Is4620() const { return is4620; }
};

} // namespace mrk
