#include "sim/ModuleHex.h"

#include <sstream>
#include <optional>
#include <span>
#include <vector>

#include "core/FileBytes.h"
#include "core/Format.h"
#include "core/IntelHexWriter.h"
#include "sim/VirtualModule.h"

namespace mrk::sim {

namespace {
constexpr size_t kLineBytes = 16;

std::optional<std::vector<uint8_t>> DecodeHex(const std::string& text) {
    if (text.size() % 2 != 0) return std::nullopt;
    std::vector<uint8_t> out;
    out.reserve(text.size() / 2);
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    for (size_t i = 0; i < text.size(); i += 2) {
        const int hi = nibble(text[i]), lo = nibble(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    return out;
}

// The chip a device ID names (DEVID2 tells the two apart).
const char* ChipName(uint8_t devId2) {
    for (ChipModel m : {ChipModel::PIC18F452, ChipModel::PIC18F4620})
        if (devId2 == ChipTraits::For(m).devId2) return m == ChipModel::PIC18F452 ? "PIC18F452" : "PIC18F4620";
    return nullptr;
}

// Parses the file into `memory`; returns an empty string or what is wrong.
std::string Parse(std::istream& in, ModuleMemory& memory) {
    std::string line;
    int lineNo = 0;
    uint32_t base = 0;
    // The device ID the file was saved with: a file of one chip must not become another.
    std::optional<uint8_t> devId1, devId2;
    auto checkChip = [&]() -> std::string {
        if (!devId2 || *devId2 == memory.Traits().devId2) return {};
        const char* name = ChipName(*devId2);
        return name ? Format("в файле память кристалла %s, а на стенде другой кристалл (--chip)", name)
                    : Format("ID устройства в файле %02X%02X: другой кристалл, не тот, что на стенде (--chip)", *devId2, devId1.value_or(0));
    };
    while (std::getline(in, line)) {
        ++lineNo;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
        if (line.empty()) continue;
        if (line[0] != ':') return Format("строка %d: запись должна начинаться с ':'", lineNo);
        const auto bytes = DecodeHex(line.substr(1));
        if (!bytes || bytes->size() < 5) return Format("строка %d: неверная шестнадцатеричная запись", lineNo);
        const std::vector<uint8_t>& b = *bytes;
        if (b.size() != size_t{b[0]} + 5) return Format("строка %d: длина записи не совпадает с числом её байтов", lineNo);
        uint8_t sum = 0;
        for (uint8_t x : b) sum = static_cast<uint8_t>(sum + x);
        if (sum != 0) return Format("строка %d: ошибка контрольной суммы", lineNo);
        const uint32_t offset = (uint32_t{b[1]} << 8) | b[2];
        const uint8_t type = b[3];
        const uint8_t* data = b.data() + 4;
        switch (type) {
        case 0x00:
            for (size_t i = 0; i < b[0]; ++i) {
                const uint32_t a = base + ((offset + i) & 0xFFFF);
                if (memory.IsFlash(a) || ModuleMemory::IsId(a) || ModuleMemory::IsConfig(a) || memory.IsEeprom(a)) {
                    memory.Poke(a, data[i]);
                } else if (a == kDevId1 || a == kDevId2) {
                    (a == kDevId1 ? devId1 : devId2) = data[i]; // checked, not loaded: the chip keeps its own
                } else {
                    return Format("строка %d: адрес 0x%06X вне памяти кристалла", lineNo, a);
                }
            }
            break;
        case 0x01: return checkChip();
        case 0x02:
        case 0x04:
            if (b[0] != 2) return Format("строка %d: запись адреса должна содержать два байта", lineNo);
            base = ((uint32_t{data[0]} << 8) | data[1]) << (type == 0x04 ? 16 : 4);
            break;
        case 0x03:
        case 0x05: break; // start addresses mean nothing to the chip
        default: return Format("строка %d: неизвестный тип записи %02X", lineNo, type);
        }
    }
    if (in.bad()) return "ошибка чтения";
    return "нет записи конца файла";
}

// Lines of [start, start + size) under the current upper address; erased lines skipped.
void PutRange(std::string& out, const ModuleMemory& memory, uint32_t start, uint32_t size, bool skipErased) {
    for (uint32_t a = start; a < start + size; a += kLineBytes) {
        const size_t n = std::min<size_t>(kLineBytes, start + size - a);
        uint8_t line[kLineBytes];
        bool erased = true;
        for (size_t i = 0; i < n; ++i) {
            line[i] = memory.Peek(a + static_cast<uint32_t>(i));
            erased = erased && line[i] == 0xFF;
        }
        if (!(skipErased && erased)) out += HexRecord(0x00, static_cast<uint16_t>(a & 0xFFFF), std::span(line, n));
    }
}
} // namespace

bool LoadModuleHex(const std::string& path, ModuleMemory& memory, std::string& error) {
    std::vector<uint8_t> bytes;
    if (int err = 0; !ReadRegularFile(path, bytes, err)) {
        error = Format("не удалось прочитать %s: %s", path.c_str(), FileErrorText(err).c_str());
        return false;
    }
    std::istringstream in{std::string(bytes.begin(), bytes.end())};
    ModuleMemory staged = memory;
    staged.EraseAll();
    const std::string problem = Parse(in, staged);
    if (!problem.empty()) {
        error = path + ": " + problem;
        return false;
    }
    memory = staged;
    return true;
}

bool LoadModuleHexText(std::string_view text, ModuleMemory& memory, std::string& error) {
    std::istringstream in{std::string(text)};
    ModuleMemory staged = memory;
    staged.EraseAll();
    const std::string problem = Parse(in, staged);
    if (!problem.empty()) {
        error = problem;
        return false;
    }
    memory = staged;
    return true;
}

std::string ModuleHexText(const ModuleMemory& memory) {
    std::string out;
    for (uint32_t a = 0; a < memory.Traits().flashSize; a += 0x10000) {
        out += HexUpperRecord(static_cast<uint16_t>(a >> 16));
        PutRange(out, memory, a, std::min<uint32_t>(0x10000, memory.Traits().flashSize - a), true);
    }
    out += HexUpperRecord(kIdBase >> 16);
    PutRange(out, memory, kIdBase, kIdSize, true);
    out += HexUpperRecord(kConfigBase >> 16);
    PutRange(out, memory, kConfigBase, kConfigSize, false);
    std::string eeprom;
    PutRange(eeprom, memory, kEepromBase, memory.Traits().eepromSize, true);
    if (!eeprom.empty()) {
        out += HexUpperRecord(kEepromBase >> 16);
        out += eeprom;
    }
    out += HexUpperRecord(kDevId1 >> 16);
    PutRange(out, memory, kDevId1, 2, false);
    out += kHexEndRecord;
    return out;
}

bool SaveModuleHex(const std::string& path, const ModuleMemory& memory, std::string& error) {
    if (int err = 0; !ReplaceFile(path, ModuleHexText(memory), err)) {
        error = Format("не удалось записать %s: %s", path.c_str(), FileErrorText(err).c_str());
        return false;
    }
    return true;
}

} // namespace mrk::sim
