#pragma once
// Builds Intel HEX record lines for tests.
#include <cstdint>
#include <string>
#include <vector>

namespace mrk::test {

// One record line; ll overrides the byte count written in the line (not the data).
inline std::string Rec(uint8_t type, uint16_t address, const std::vector<uint8_t>& data, int ll = -1) {
    const uint8_t count = static_cast<uint8_t>(ll < 0 ? data.size() : ll);
    unsigned sum = count + (address >> 8) + (address & 0xFF) + type;
    char buf[16];
    std::snprintf(buf, sizeof buf, ":%02X%04X%02X", count, address, type);
    std::string line = buf;
    for (uint8_t b : data) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        line += buf;
        sum += b;
    }
    std::snprintf(buf, sizeof buf, "%02X", (0x100 - sum % 256) % 256);
    return line + buf + "\n";
}

inline std::string Upper(uint16_t upper) {
    return Rec(0x04, 0, {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)});
}

inline const std::string kEof = ":00000001FF\n";

// The line with its checksum (the last two characters before the newline) changed.
inline std::string BadSum(std::string line) {
    const size_t p = line.size() - 3;
    line[p] = line[p] == '0' ? '1' : '0';
    return line;
}

} // namespace mrk::test
