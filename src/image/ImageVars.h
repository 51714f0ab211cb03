#pragma once
#include <array>
#include <cstdint>

namespace mrk {

// Reference image of program memory and what was read back from the chip.
struct ImageVars {
    ImageVars() { BuffEt.fill(0xFF); BuffChip.fill(0xFF); ConfigWrite.fill(0xFF); }
    std::array<uint8_t, 65540> BuffEt;   // program memory image + the two update sums
    std::array<uint8_t, 65536> BuffChip; // read back from the chip
    std::array<uint8_t, 14> ConfigWrite; // CONFIG1L..CONFIG7H to be written
};

} // namespace mrk
