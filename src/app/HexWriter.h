#pragma once
// Writes program memory as Intel HEX (16-byte data records, extended linear
// address records, end-of-file record), skipping lines that are all 0xFF.
#include <cstdint>
#include <span>
#include <string>

namespace mrk {

std::string ToIntelHex(std::span<const uint8_t> memory, uint32_t baseAddress = 0);
// False with a message when the file cannot be written.
bool WriteIntelHexFile(const std::string& path, std::span<const uint8_t> memory, std::string& error);

} // namespace mrk
