#pragma once
// Intel HEX output: record lines, and a memory image as a whole file text
// (16-byte data records, extended linear address records, end-of-file record).
#include <cstdint>
#include <span>
#include <string>

namespace mrk {

// One record ":LLAAAATT<data>CC" with its newline.
std::string HexRecord(uint8_t type, uint16_t offset, std::span<const uint8_t> data);
// The extended linear address record for the upper 16 address bits.
std::string HexUpperRecord(uint16_t upper);
inline constexpr const char* kHexEndRecord = ":00000001FF\n";

// `memory` placed at baseAddress, lines that are all 0xFF left out, then the end record.
std::string ToIntelHex(std::span<const uint8_t> memory, uint32_t baseAddress = 0);

} // namespace mrk
