#include "icsp/ProgramMemory.h"

#include <algorithm>
#include <array>
#include <optional>

#include "core/Context.h"
#include "core/Format.h"
#include "icsp/Icsp.h"
#include "transport/PortProg.h"

namespace mrk {

namespace {

constexpr uint32_t kRowWords = 32;

uint16_t Word(const uint8_t* buf, uint32_t i) {
    return static_cast<uint16_t>(buf[2 * i] | (buf[2 * i + 1] << 8));
}

// The word at the table pointer; none when the programmer did not answer.
std::optional<uint16_t> ReadWordAtPointer(Context& ctx) {
    uint8_t b[2];
    if (!ReadTableBytes(ctx, b, 2)) return std::nullopt;
    return static_cast<uint16_t>(b[1] << 8 | b[0]);
}

// The words of a region as the chip holds them, taken in order from the table
// pointer on. On USB the rest of the row comes in one transfer (a round trip a
// row, where a word alone cost four); on LPT a word at a time, as it is needed.
class WordReader {
public:
    std::optional<uint16_t> At(Context& ctx, uint32_t i, uint32_t end) {
        if (count_ == 0 || i < first_ || i >= first_ + count_) {
            first_ = i;
            count_ = ctx.IsUsb() ? std::min(kRowWords - i % kRowWords, end - i) : 1;
            if (!ReadTableBytes(ctx, bytes_.data(), 2 * count_)) {
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

bool EraseRowAt(Context& ctx, uint32_t word) {
    if (!SetTblPtr(ctx, 2 * word) || !SendCoreInstr(ctx, 0x84, 0xA6) // WREN
        || !SendCoreInstr(ctx, 0x88, 0xA6))                          // FREE
        return false;
    if (!ctx.Is4620() && !(SendCoreInstr(ctx, 0x0E, 0x55) && SendCoreInstr(ctx, 0x6E, 0xA7) &&
                           SendCoreInstr(ctx, 0x0E, 0xAA) && SendCoreInstr(ctx, 0x6E, 0xA7)))
        return false;
    return SendCoreInstr(ctx, 0x82, 0xA6) // WR: the row erase starts
           && SendCommand(ctx, cmd::kCoreInstruction, false) && Delay(ctx, 600) && Handshake(ctx) &&
           SendOperand(ctx, 0x0000) && SendCoreInstr(ctx, 0x94, 0xA6); // WREN off
}

// Writes the row starting at word i from BuffEt, in groups the chip's write buffer
// holds. Stops at the first word the programmer does not answer (false).
bool WriteRowAt(Context& ctx, uint32_t i) {
    const uint32_t groupWords = ctx.Is4620() ? 16 : 4;
    const uint8_t* ref = ctx.image.BuffEt.data();
    for (uint32_t g = 0; g < kRowWords / groupWords; ++g) {
        if (!SetTblPtr(ctx, 2 * i)) return false;
        for (uint32_t k = 0; k + 1 < groupWords; ++k, ++i)
            if (!SendCommand(ctx, cmd::kTableWritePostInc2, false) || !SendOperand(ctx, Word(ref, i))) return false;
        if (!SendCommand(ctx, cmd::kTableWriteStartProg, false) || !SendOperand(ctx, Word(ref, i)) ||
            !SendCommand(ctx, cmd::kCoreInstruction, true) || !SendOperand(ctx, 0x0000))
            return false;
        ++i;
    }
    return true;
}

bool ReadRange(Context& ctx, uint32_t n) {
    ctx.image.ChipReadBrokeAt = 0;
    const bool entered = EnterProgModeA(ctx) && ClearTblPtr(ctx);
    ctx.host.GaugeMax(static_cast<long>(n) - 1);
    ctx.host.GaugePos(0);
    if (!entered || !Handshake(ctx)) return AbandonLostProgrammer(ctx);
    for (uint32_t i = 0; i < n; ++i) {
        ctx.host.GaugePos(i);
        const auto w = ReadWordAtPointer(ctx);
        if (!w) return AbandonLostProgrammer(ctx);
        ctx.image.ChipReadBrokeAt = i + 1;
        ctx.image.BuffChip[2 * i] = static_cast<uint8_t>(*w);
        ctx.image.BuffChip[2 * i + 1] = static_cast<uint8_t>(*w >> 8);
        ctx.host.Pump();
    }
    ExitProgMode(ctx);
    ctx.image.ChipReadBrokeAt.reset();
    return true;
}

} // namespace

bool WriteBoot(Context& ctx) {
    const uint32_t bootWords = ctx.prog.BootWords;
    // The gauge is set while the chip settles after entry.
    const bool entered = EnterProgModeABeforeSettle(ctx);
    ctx.host.GaugeMax(static_cast<long>(bootWords) - 1);
    ctx.host.GaugePos(0);
    if (!entered || !Delay(ctx, kEntrySettle)) return AbandonLostProgrammer(ctx);

    bool ok = true;
    bool rewritten = false;
    int rewritesOfRow = 0;
    uint32_t rowOfRewrites = UINT32_MAX;
    uint16_t chip = 0, ref = 0;
    if (!SelectProgramMemory(ctx)) return AbandonLostProgrammer(ctx);
    uint32_t i = 0;
    if (!SetTblPtr(ctx, 0)) return AbandonLostProgrammer(ctx);
    WordReader reader;
    while (i < bootWords) {
        const auto read = reader.At(ctx, i, bootWords);
        // A word the programmer did not bring back is no reason to erase a row.
        if (!read) return AbandonLostProgrammer(ctx);
        chip = *read;
        ref = Word(ctx.image.BuffEt.data(), i);
        if (chip == ref) {
            rewritten = false;
            ++i;
            ctx.host.GaugePos(i);
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
        if (!EraseRowAt(ctx, i) || !WriteRowAt(ctx, i) || !SetTblPtr(ctx, 2 * i))
            return AbandonLostProgrammer(ctx);
        reader.Forget();
        rewritten = true;
        ctx.host.Pump();
    }
    if (!ok) {
        ctx.host.Okno("Запись не возможна.");
        ctx.host.Okno(Format("Адр.:%03X  Эт=%04X  Чип=%04X", 2 * i, ref, chip));
        ctx.host.Okno("Прогр. прервано.");
    } else {
        ctx.host.Okno("Прогр. OK");
    }
    ExitProgMode(ctx);
    return ok;
}

bool ReadBoot(Context& ctx) {
    if (ctx.IsUsb()) return FtReadChip(ctx);
    return ReadRange(ctx, ctx.prog.BootWords);
}

bool ReadAll(Context& ctx) {
    if (ctx.IsUsb()) return FtReadChip(ctx);
    return ReadRange(ctx, ctx.prog.ChipWords);
}

bool CompareChip(Context& ctx) {
    const uint32_t n = ctx.ind.SpeedButton21 ? ctx.prog.ChipWords : ctx.prog.BootWords;
    ctx.host.GaugePos(0);
    uint16_t errors = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const uint16_t chip = Word(ctx.image.BuffChip.data(), i);
        const uint16_t ref = Word(ctx.image.BuffEt.data(), i);
        if (chip != ref) {
            ctx.host.Okno(Format("%03X: Эт.%04X Рез.%04X", 2 * i, ref, chip));
            ++errors;
        }
        ctx.host.GaugePos(i);
    }
    if (errors == 0) {
        ctx.host.Okno("Сравнение ОК");
        return true;
    }
    ctx.host.Okno(Format("Кол. ошибок. = %d ", errors));
    return false;
}

} // namespace mrk
