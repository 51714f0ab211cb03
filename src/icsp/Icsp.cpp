#include "icsp/Icsp.h"

#include "core/Host.h"
#include "transport/Line.h"

namespace mrk {

namespace {

// Presents one data bit on PGD (the programmer inverts the output path).
void PutBit(Line& line, unsigned bit) {
    line.SetDat((bit & 1) ? 0 : 1);
}

// n bits of value, least significant first, each clocked in; false at the first
// clock the programmer did not answer.
bool ClockBitsOut(Line& line, unsigned value, int n) {
    for (int i = 0; i < n; ++i) {
        PutBit(line, value >> i);
        if (!line.ClkPulse()) return false;
    }
    return true;
}

bool ClearWriteModeRegister(Line& line) {
    return SetTblPtr(line, kAdrWriteMode) && SendCommand(line, cmd::kTableWrite, false) && SendOperand(line, 0x0000);
}

} // namespace

bool SendCoreInstr(Line& line, uint8_t opcodeByte, uint8_t lowByte) {
    line.SetClk(0);
    line.SetDat(1);
    if (!line.Handshake()) return false;
    for (int i = 0; i < 4; ++i) // command 0000, PGD low
        if (!line.ClkPulse()) return false;
    if (!line.Handshake()) return false;
    if (!ClockBitsOut(line, lowByte, 8) || !ClockBitsOut(line, opcodeByte, 8)) return false;
    line.SetDat(1);
    return line.Handshake();
}

bool ClearTblPtr(Line& line) {
    return SendCoreInstr(line, 0x0E, 0x00) && SendCoreInstr(line, 0x6E, 0xF6) && SendCoreInstr(line, 0x6E, 0xF7) &&
           SendCoreInstr(line, 0x6E, 0xF8);
}

bool SetTblPtr(Line& line, uint32_t address) {
    return SendCoreInstr(line, 0x0E, static_cast<uint8_t>(address)) && SendCoreInstr(line, 0x6E, 0xF6) &&
           SendCoreInstr(line, 0x0E, static_cast<uint8_t>(address >> 8)) && SendCoreInstr(line, 0x6E, 0xF7) &&
           SendCoreInstr(line, 0x0E, static_cast<uint8_t>(address >> 16)) && SendCoreInstr(line, 0x6E, 0xF8);
}

bool SendCommand(Line& line, uint8_t command, bool pulse) {
    line.SetClk(0);
    line.SetDat(1);
    for (int i = 0; i < 4; ++i) {
        PutBit(line, command >> i);
        if (pulse && i == 3) {
            // Programming pulse: PGC held high on the fourth clock.
            line.SetClk(1);
            const bool held = line.Delay(120);
            line.SetClk(0);
            if (!held || !line.Handshake()) return false;
        } else if (!line.ClkPulse()) {
            return false;
        }
    }
    line.SetClk(0);
    line.SetDat(1);
    return true;
}

bool SendOperand(Line& line, uint16_t word) {
    line.SetClk(0);
    line.SetDat(1);
    if (!ClockBitsOut(line, word, 16)) return false;
    line.SetDat(1);
    return line.Handshake();
}

bool ReadTableBytes(Line& line, uint8_t* out, size_t n) {
    if (SampleBatch* batch = line.Batch()) {
        for (size_t k = 0; k < n; ++k) {
            // Only queued: TakeBytes learns from the transfer.
            (void)SendCommand(line, cmd::kTableReadPostInc, false);
            batch->QueueByteIn();
        }
        return batch->TakeBytes(out, n);
    }
    for (size_t k = 0; k < n; ++k) {
        if (!SendCommand(line, cmd::kTableReadPostInc, false)) return false;
        const auto b = ReadTableByte(line);
        if (!b) return false;
        out[k] = *b;
    }
    return true;
}

std::optional<uint8_t> ReadTableByte(Line& line) {
    if (SampleBatch* batch = line.Batch()) return batch->ReadByte();
    line.SetClk(0);
    line.SetDat(1);
    for (int i = 0; i < 8; ++i)
        if (!line.ClkPulse()) return std::nullopt;
    line.SetDat(0); // release PGD to the chip
    if (!line.Handshake()) return std::nullopt;
    uint8_t result = 0;
    for (int i = 0; i < 8; ++i) {
        line.SetClk(1);
        if (!line.Handshake()) return std::nullopt;
        line.SetClk(0);
        result = static_cast<uint8_t>(result >> 1);
        const LineLevel bit = line.GetDat();
        if (bit == LineLevel::NoAnswer) return std::nullopt;
        if (bit == LineLevel::High) result |= 0x80;
        if (!line.Handshake()) return std::nullopt;
    }
    line.SetClk(0);
    line.SetDat(1);
    if (!line.Handshake()) return std::nullopt;
    return result;
}

bool BulkErase(Line& line, const Chip& chip) {
    line.SetClk(0);
    line.SetDat(1);
    if (!line.Handshake() || !SetTblPtr(line, kAdrEraseControl) || !SendCommand(line, cmd::kTableWrite, false) ||
        !SendOperand(line, chip.Is4620() ? 0x0F87 : 0x0080) || !SendCommand(line, cmd::kCoreInstruction, false) ||
        !SendOperand(line, 0x0000) || !SendCommand(line, cmd::kCoreInstruction, false))
        return false;
    // PGD held low while the chip erases.
    return line.Delay(5000) && line.Handshake() && SendOperand(line, 0x0000);
}

namespace {
// Entry A from its first delay on: VPP raised, pulsed off, raised again.
bool EntryAPulses(Line& line) {
    return line.Delay(1200) && line.SetVpp(1) && line.Handshake() && line.SetVpp(0) && line.Handshake() &&
           line.SetVpp(1);
}
} // namespace

bool EnterProgModeABeforeSettle(Line& line) {
    line.SetClk(0);
    line.SetDat(1);
    return EntryAPulses(line);
}

bool EnterProgModeA(Line& line) {
    return EnterProgModeABeforeSettle(line) && line.Delay(kEntrySettle);
}

bool EnterProgModeAForErase(Line& line) {
    line.SetClk(0);
    line.SetDat(1);
    return line.Handshake() && EntryAPulses(line) && line.Delay(kEntrySettle);
}

bool EnterProgModeB(Line& line) {
    const bool off = line.SetVpp(0);
    line.SetClk(0);
    line.SetDat(1);
    return off && line.Delay(1500) && line.SetVpp(1);
}

bool EnterProgModeC(Line& line) {
    line.SetClk(0);
    line.SetDat(1);
    return line.Delay(1200) && line.SetVpp(1);
}

bool EnterProgModeD(Line& line) {
    if (!line.Handshake()) return false;
    line.SetClk(0);
    line.SetDat(1);
    return line.Delay(1200) && line.SetVpp(1) && line.Delay(1200) && line.SetVpp(0) && line.Delay(1200) &&
           line.SetVpp(1) && line.Delay(1200);
}

bool EnterProgModeEBeforeSettle(Line& line) {
    line.SetClk(0);
    line.SetDat(1);
    return line.Delay(4000) && line.SetVpp(1) && line.Delay(4000) && line.SetVpp(0) && line.Delay(4000) &&
           line.SetVpp(1);
}

bool EnterProgModeE(Line& line) {
    return EnterProgModeEBeforeSettle(line) && line.Delay(kEntrySettle);
}

void ExitProgMode(Line& line) {
    line.SetClk(0);
    line.SetDat(1);
    // Leaving is the same whether the programmer still answers or not.
    (void)line.SetVpp(0);
    line.SetClk(1);
    line.SetDat(0);
}

bool AbandonLostProgrammer(Line& line, Host& host) {
    ExitProgMode(line);
    host.Okno(kProgrammerLost);
    return false;
}

bool SelectProgramMemory(Line& line, const Chip& chip) {
    if (!chip.Is4620() && !ClearWriteModeRegister(line)) return false;
    return SendCoreInstr(line, 0x8E, 0xA6)    // EEPGD := 1
           && SendCoreInstr(line, 0x9C, 0xA6); // CFGS := 0
}

bool SelectConfigSpace(Line& line) {
    return ClearWriteModeRegister(line) && SendCoreInstr(line, 0x8E, 0xA6) // EEPGD := 1
           && SendCoreInstr(line, 0x8C, 0xA6);                           // CFGS := 1
}

bool SelectIdOrDevId(Line& line) {
    return ClearWriteModeRegister(line) && SendCoreInstr(line, 0x8E, 0xA6) && SendCoreInstr(line, 0x9C, 0xA6);
}

} // namespace mrk
