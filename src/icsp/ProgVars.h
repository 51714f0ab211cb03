#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace mrk {

// Programmer-open and chip-identification state shared by the protocol routines.
struct ProgVars {
    uint32_t ChipWords = 0x8000; // program memory in words
    uint16_t BootWords = 0x400;  // boot-loader region in words
    bool ProgOpenReported = false;
    std::string Label2Text;      // last text of the hidden service label

    // What was last read from the chip's non-program memories.
    std::array<uint8_t, 14> ConfigRead{};
    uint8_t DevId1 = 0, DevId2 = 0;
    std::array<uint32_t, 4> IdWords{};
    // Result text of the last configuration write (the configuration window's StaticText1).
    std::string ConfigStaticText1;
};

} // namespace mrk
