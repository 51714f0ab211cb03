#include "app/HexWriter.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "core/Format.h"

namespace mrk {

namespace {

std::string Record(uint8_t type, uint16_t address, std::span<const uint8_t> data) {
    uint8_t sum = static_cast<uint8_t>(data.size() + (address >> 8) + (address & 0xFF) + type);
    std::string line = Format(":%02X%04X%02X", static_cast<unsigned>(data.size()), address, type);
    for (uint8_t b : data) {
        line += Format("%02X", b);
        sum = static_cast<uint8_t>(sum + b);
    }
    line += Format("%02X\n", static_cast<uint8_t>(-sum));
    return line;
}

} // namespace

std::string ToIntelHex(std::span<const uint8_t> memory, uint32_t baseAddress) {
    std::string out;
    uint32_t upper = 0;
    for (size_t off = 0; off < memory.size(); off += 16) {
        const auto line = memory.subspan(off, std::min<size_t>(16, memory.size() - off));
        bool erased = true;
        for (uint8_t b : line) erased = erased && b == 0xFF;
        if (erased) continue;
        const uint32_t address = baseAddress + static_cast<uint32_t>(off);
        if ((address >> 16) != upper) {
            upper = address >> 16;
            const uint8_t ext[2] = {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)};
            out += Record(0x04, 0, ext);
        }
        out += Record(0x00, static_cast<uint16_t>(address), line);
    }
    out += ":00000001FF\n";
    return out;
}

bool WriteIntelHexFile(const std::string& path, std::span<const uint8_t> memory, std::string& error) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f) {
        error = Format("Cannot write %s: %s", path.c_str(), std::strerror(errno));
        return false;
    }
    f << ToIntelHex(memory);
    f.close();
    if (!f) {
        error = Format("Cannot write %s", path.c_str());
        return false;
    }
    return true;
}

} // namespace mrk
