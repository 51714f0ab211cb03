#include "image/HexReader.h"

#include <algorithm>
#include <cctype>

#include "core/Host.h"
#include "image/HexDigit.h"
#include "image/IoErrors.h"

namespace mrk {

namespace {

// Record lines are ':' LL AAAA TT data CC: at least 11 characters. The digit
// walk is bounded to 255-character lines (122 data bytes).
constexpr size_t kShortestLine = 11;
constexpr size_t kLongestLine = 255;

// The byte whose two digits start at 1-based position p.
uint8_t ByteAt(const std::string& line, size_t p) {
    return static_cast<uint8_t>(HexDigit(line[p - 1]) * 16 + HexDigit(line[p]));
}

// ':' then hex digits only, and exactly as many data digits as the byte count says.
bool IsRecordShape(const std::string& line) {
    if (line[0] != ':' || !std::all_of(line.begin() + 1, line.end(), IsHexDigit)) return false;
    return line.size() == kShortestLine + 2u * ByteAt(line, 2);
}

} // namespace

HexLine HexLineReader::Read(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    for (char& c : line) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const size_t n = line.size();
    if (n < kShortestLine || n > kLongestLine) return HexLine::Bad;

    const uint8_t type = ByteAt(line, 8);
    // The end record ends the file only as a whole record: a damaged line that
    // happens to carry "01" in the type columns must not cut the file short.
    if (type == 0x01) return ReadData(line, false) == HexLine::Next ? HexLine::End : HexLine::Bad;
    if (type == 0x04) {
        // Checked like a data record; then only the low byte of the upper address
        // (positions 12-13) is looked at.
        if (n < 13 || ReadData(line, false) != HexLine::Next) return HexLine::Bad;
        const std::string low = line.substr(11, 2);
        if (low == "30") {
            configArea_ = true;
            upper_ = Upper::Config;
        } else if (low == "20") {
            upper_ = Upper::IdLocations;
        } else if (low == "F0") {
            upper_ = Upper::Eeprom;
        } else {
            upper_ = Upper::Program;
        }
        return HexLine::Next;
    }
    // ID locations and data EEPROM have no place in the images: their records
    // are checked like program records and then dropped.
    if (upper_ == Upper::IdLocations || upper_ == Upper::Eeprom) return ReadData(line, false);
    if (type == 0x00 && configArea_) return ReadConfig(line);
    // Extended segment and start address records carry addresses, not program bytes.
    if (type == 0x02 || type == 0x03 || type == 0x05) return ReadData(line, false);
    if (type != 0x00) return HexLine::Bad;
    return ReadData(line, true);
}

HexLine HexLineReader::ReadData(const std::string& line, bool store) {
    const size_t n = line.size();
    if (line[0] != ':') return HexLine::Bad;
    if (!std::all_of(line.begin() + 1, line.end(), IsHexDigit)) return HexLine::Bad;
    const uint16_t address = static_cast<uint16_t>(ByteAt(line, 4) << 8 | ByteAt(line, 6));
    unsigned sum = ByteAt(line, 2) + (address >> 8) + (address & 0xFF) + ByteAt(line, 8);
    // Positions 10 .. n-2: a digit at an even position is a high nibble, the next
    // one completes the byte. An odd last digit leaves a high nibble, not summed.
    uint8_t data[kLongestLine / 2];
    size_t count = 0;
    bool halfByte = false;
    for (size_t p = 10; p + 2 <= n; ++p) {
        const uint8_t d = static_cast<uint8_t>(HexDigit(line[p - 1]));
        if (p % 2 == 0) {
            data[count] = static_cast<uint8_t>(d << 4);
            halfByte = true;
        } else {
            data[count] |= d;
            sum += data[count++];
            halfByte = false;
        }
    }
    const uint8_t expected = static_cast<uint8_t>((0x100 - sum % 256) % 256);
    if (ByteAt(line, n - 1) != expected) return HexLine::Bad;
    if (store) {
        uint16_t index = address; // wraps from 0xFFFF to 0x0000
        for (size_t k = 0; k < count + (halfByte ? 1 : 0); ++k) image_.BuffEt[index++] = data[k];
    }
    return HexLine::Next;
}

HexLine HexLineReader::ReadConfig(const std::string& line) {
    // Configuration records are taken without their checksum (hand-edited lines
    // rely on it), but only when they are records at all: a stray character or a
    // lost digit would otherwise shift bits into the protection bytes.
    const size_t n = line.size();
    if (!IsRecordShape(line)) return HexLine::Bad;
    if (n < 12 || config_ == ConfigRecords::Drop) return HexLine::Next;
    const uint16_t address = static_cast<uint16_t>(ByteAt(line, 4) << 8 | ByteAt(line, 6));
    uint16_t index = address;
    auto& cw = image_.ConfigWrite;
    for (size_t p = 10; p + 2 <= n; ++p) {
        const uint8_t d = static_cast<uint8_t>(HexDigit(line[p - 1]));
        if (p % 2 == 0) {
            if (index < cw.size()) cw[index] = static_cast<uint8_t>(d << 4);
        } else {
            if (index < cw.size()) cw[index] |= d;
            ++index;
        }
    }
    return HexLine::Next;
}

int ReadHexText(FirmwareImages& images, Host& host, std::istream& in, ConfigRecords config, const std::string& name) {
    HexLineReader reader(images, config);
    std::string line;
    while (std::getline(in, line)) {
        const HexLine verdict = reader.Read(line);
        if (verdict == HexLine::End) return 0;
        if (verdict == HexLine::Bad) break;
    }
    if (in.bad()) {
        ShowReadError(host, name);
        return -1;
    }
    // A file that ends without its end record (cut short, or empty) is as
    // damaged as one with a bad line: half an image must never load as a whole one.
    host.Okno("Ошибка формата или КС");
    return -1;
}

} // namespace mrk
