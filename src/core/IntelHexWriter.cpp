#include "core/IntelHexWriter.h"

#include <algorithm>

#include "core/Format.h"

namespace mrk {

std::string HexRecord(uint8_t type, uint16_t offset, std::span<const uint8_t> data) {
    uint8_t sum = static_cast<uint8_t>(data.size() + (offset >> 8) + (offset & 0xFF) + type);
    std::string line = Format(":%02X%04X%02X", static_cast<unsigned>(data.size()), offset, type);
    for (uint8_t b : data) {
        line += Format("%02X", b);
        sum = static_cast<uint8_t>(sum + b);
    }
    line += Format("%02X\n", static_cast<uint8_t>(-sum));
    return line;
}

std::string HexUpperRecord(uint16_t upper) {
    const uint8_t d[2] = {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)};
    return HexRecord(0x04, 0, d);
}

std::string ToIntelHex(std::span<const uint8_t> memory, uint32_t baseAddress) {
    std::string out;
    uint32_t upper = 0;
    for (size_t off = 0; off < memory.size(); off += 16) {
        const auto line = memory.subspan(off, std::min<size_t>(16, memory.size() - off));
        if (std::all_of(line.begin(), line.end(), [](uint8_t b) { return b == 0xFF; })) continue;
        const uint32_t address = baseAddress + static_cast<uint32_t>(off);
        if ((address >> 16) != upper) {
            upper = address >> 16;
            out += HexUpperRecord(static_cast<uint16_t>(upper));
        }
        out += HexRecord(0x00, static_cast<uint16_t>(address), line);
    }
    out += kHexEndRecord;
    return out;
}

} // namespace mrk
