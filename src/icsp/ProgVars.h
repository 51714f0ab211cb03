#pragma once
#include <cstdint>
#include <string>

namespace mrk {

// Programmer-open and chip-identification state shared by the protocol routines.
struct ProgVars {
    uint32_t ChipWords = 0x8000; // program memory in words
    uint16_t BootWords = 0x400;  // boot-loader region in words
    bool ProgOpenReported = false;
    std::string Label2Text;      // last text of the hidden service label
};

} // namespace mrk
