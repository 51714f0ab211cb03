#include "icsp/ProgramMemory.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>

#include "core/Format.h"
#include "icsp/Icsp.h"

namespace mrk {

namespace {

constexpr uint32_t kRowWords = 32;

uint16_t Word(const uint8_t* buf, uint32_t i) {
    return static_cast<uint16_t>(buf[2 * i] | (buf[2 * i + 1] << 8));
}

// The word at the table pointer; none when the programmer did not answer.
std::optional<uint16_t> ReadWordAtPointer(Line& line) {
    uint8_t b[2];
    if (!ReadTableBytes(line, b, 2)) return std::nullopt;
    return static_cast<uint16_t>(b[1] << 8 | b[0]);
}

// The words of a region as the chip holds them, taken in order from the table
// pointer on. On a batching line the rest of the row comes in one transfer (a
// round trip a row, where a word alone cost four); else a word at a time, as it is needed.
class WordReader {
public:
    std::optional<uint16_t> At(Line& line, uint32_t i, uint32_t end) {
        if (count_ == 0 || i < first_ || i >= first_ + count_) {
            first_ = i;
            count_ = line.Batch() ? std::min(kRowWords - i % kRowWords, end - i) : 1;
            if (!ReadTableBytes(line, bytes_.data(), 2 * count_)) {
                count_ = 0;
                return std::nullopt;
            }
        }
        return Word(bytes_.data(), i - first_);
    }
    // The table pointer was moved: what was read no longer follows on.
    void Forget() { count_ = 0; }

private:
    std::array<uint8_t, 2 * kRowWords> bytes_{};
    uint32_t first_ = 0, count_ = 0;
};

bool EraseRowAt(Line& line, const Chip& chip, uint32_t word) {
    if (!SetTblPtr(line, 2 * word) || !SendCoreInstr(line, 0x84, 0xA6) // WREN
        || !SendCoreInstr(line, 0x88, 0xA6))                          // FREE
        return false;
    if (!chip.Is4620() && !(SendCoreInstr(line, 0x0E, 0x55) && SendCoreInstr(line, 0x6E, 0xA7) &&
                           SendCoreInstr(line, 0x0E, 0xAA) && SendCoreInstr(line, 0x6E, 0xA7)))
        return false;
    return SendCoreInstr(line, 0x82, 0xA6) // WR: the row erase starts
           && SendCommand(line, cmd::kCoreInstruction, false) && line.Delay(600) && line.Handshake() &&
           SendOperand(line, 0x0000) && SendCoreInstr(line, 0x94, 0xA6); // WREN off
}

// Writes the row starting at word i from ref (BuffEt), in groups the chip's write buffer
// holds. Stops at the first word the programmer does not answer (false).
bool WriteRowAt(Line& line, const Chip& chip, const uint8_t* ref, uint32_t i) {
    const uint32_t groupWords = chip.Is4620() ? 16 : 4;
    for (uint32_t g = 0; g < kRowWords / groupWords; ++g) {
        if (!SetTblPtr(line, 2 * i)) return false;
        for (uint32_t k = 0; k + 1 < groupWords; ++k, ++i)
            if (!SendCommand(line, cmd::kTableWritePostInc2, false) || !SendOperand(line, Word(ref, i))) return false;
        if (!SendCommand(line, cmd::kTableWriteStartProg, false) || !SendOperand(line, Word(ref, i)) ||
            !SendCommand(line, cmd::kCoreInstruction, true) || !SendOperand(line, 0x0000))
            return false;
        ++i;
    }
    return true;
}

bool ReadRange(Line& line, Host& host, std::span<uint8_t> chipBytes, std::optional<uint32_t>& brokeAt, uint32_t n) {
    brokeAt = 0;
    const bool entered = EnterProgModeA(line) && ClearTblPtr(line);
    host.GaugeMax(static_cast<long>(n) - 1);
    host.GaugePos(0);
    if (!entered || !line.Handshake()) return AbandonLostProgrammer(line, host);
    for (uint32_t i = 0; i < n; ++i) {
        host.GaugePos(i);
        const auto w = ReadWordAtPointer(line);
        if (!w) return AbandonLostProgrammer(line, host);
        brokeAt = i + 1;
        chipBytes[2 * i] = static_cast<uint8_t>(*w);
        chipBytes[2 * i + 1] = static_cast<uint8_t>(*w >> 8);
        host.Pump();
    }
    ExitProgMode(line);
    brokeAt.reset();
    return true;
}

} // namespace

bool WriteBoot(Line& line, const Chip& chip, Host& host, std::span<const uint8_t> reference) {
    const uint32_t bootWords = chip.BootWords;
    // The gauge is set while the chip settles after entry.
    const bool entered = EnterProgModeABeforeSettle(line);
    host.GaugeMax(static_cast<long>(bootWords) - 1);
    host.GaugePos(0);
    if (!entered || !line.Delay(kEntrySettle)) return AbandonLostProgrammer(line, host);

    bool ok = true;
    bool rewritten = false;
    int rewritesOfRow = 0;
    uint32_t rowOfRewrites = UINT32_MAX;
    uint16_t onChip = 0, ref = 0;
    if (!SelectProgramMemory(line, chip)) return AbandonLostProgrammer(line, host);
    uint32_t i = 0;
    if (!SetTblPtr(line, 0)) return AbandonLostProgrammer(line, host);
    WordReader reader;
    while (i < bootWords) {
        const auto read = reader.At(line, i, bootWords);
        // A word the programmer did not bring back is no reason to erase a row.
        if (!read) return AbandonLostProgrammer(line, host);
        onChip = *read;
        ref = Word(reference.data(), i);
        if (onChip == ref) {
            rewritten = false;
            ++i;
            host.GaugePos(i);
            continue;
        }
        // A word still wrong right after its row was rewritten: the row does not take.
        // The same row failing again further in is bounded too, so a flaky row cannot loop for ever.
        const uint32_t row = i & ~(kRowWords - 1);
        if (row != rowOfRewrites) {
            rowOfRewrites = row;
            rewritesOfRow = 0;
        }
        if (rewritten || rewritesOfRow >= kMaxRowRewrites) {
            ok = false;
            break;
        }
        ++rewritesOfRow;
        i = row;
        if (!EraseRowAt(line, chip, i) || !WriteRowAt(line, chip, reference.data(), i) || !SetTblPtr(line, 2 * i))
            return AbandonLostProgrammer(line, host);
        reader.Forget();
        rewritten = true;
        host.Pump();
    }
    if (!ok) {
        host.Okno("Запись не возможна.");
        host.Okno(Format("Адр.:%03X  Эт=%04X  Чип=%04X", 2 * i, ref, onChip));
        host.Okno("Прогр. прервано.");
    } else {
        host.Okno("Прогр. OK");
    }
    ExitProgMode(line);
    return ok;
}

bool ReadBoot(Line& line, const Chip& chip, Host& host, std::span<uint8_t> chipBytes, std::optional<uint32_t>& brokeAt,
              bool batchWhole) {
    if (line.Batch()) return FtReadChip(line, chip, host, chipBytes, brokeAt, batchWhole);
    return ReadRange(line, host, chipBytes, brokeAt, chip.BootWords);
}

bool ReadAll(Line& line, const Chip& chip, Host& host, std::span<uint8_t> chipBytes, std::optional<uint32_t>& brokeAt,
             bool batchWhole) {
    if (line.Batch()) return FtReadChip(line, chip, host, chipBytes, brokeAt, batchWhole);
    return ReadRange(line, host, chipBytes, brokeAt, chip.ChipWords);
}

bool CompareChip(const Chip& chip, Host& host, std::span<const uint8_t> chipBytes, std::span<const uint8_t> reference,
                 bool whole) {
    const uint32_t n = whole ? chip.ChipWords : chip.BootWords;
    host.GaugePos(0);
    uint16_t errors = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const uint16_t onChip = Word(chipBytes.data(), i);
        const uint16_t ref = Word(reference.data(), i);
        if (onChip != ref) {
            host.Okno(Format("%03X: Эт.%04X Рез.%04X", 2 * i, ref, onChip));
            ++errors;
        }
        host.GaugePos(i);
    }
    if (errors == 0) {
        host.Okno("Сравнение ОК");
        return true;
    }
    host.Okno(Format("Кол. ошибок. = %d ", errors));
    return false;
}

} // namespace mrk
