#include "icsp/Icsp.h"

#include "core/Context.h"
#include "transport/FtFunkc.h"
#include "transport/PortProg.h"

namespace mrk {

namespace {

// Presents one data bit on PGD (the programmer inverts the output path).
void PutBit(Context& ctx, unsigned bit) {
    SetDat(ctx, (bit & 1) ? 0 : 1);
}

// n bits of value, least significant first, each clocked in; false at the first
// clock the programmer did not answer.
bool ClockBitsOut(Context& ctx, unsigned value, int n) {
    for (int i = 0; i < n; ++i) {
        PutBit(ctx, value >> i);
        if (!ClkPulse(ctx)) return false;
    }
    return true;
}

bool ClearWriteModeRegister(Context& ctx) {
    return SetTblPtr(ctx, kAdrWriteMode) && SendCommand(ctx, cmd::kTableWrite, false) && SendOperand(ctx, 0x0000);
}

} // namespace

bool SendCoreInstr(Context& ctx, uint8_t opcodeByte, uint8_t lowByte) {
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    if (!Handshake(ctx)) return false;
    for (int i = 0; i < 4; ++i) // command 0000, PGD low
        if (!ClkPulse(ctx)) return false;
    if (!Handshake(ctx)) return false;
    if (!ClockBitsOut(ctx, lowByte, 8) || !ClockBitsOut(ctx, opcodeByte, 8)) return false;
    SetDat(ctx, 1);
    return Handshake(ctx);
}

bool ClearTblPtr(Context& ctx) {
    return SendCoreInstr(ctx, 0x0E, 0x00) && SendCoreInstr(ctx, 0x6E, 0xF6) && SendCoreInstr(ctx, 0x6E, 0xF7) &&
           SendCoreInstr(ctx, 0x6E, 0xF8);
}

bool SetTblPtr(Context& ctx, uint32_t address) {
    return SendCoreInstr(ctx, 0x0E, static_cast<uint8_t>(address)) && SendCoreInstr(ctx, 0x6E, 0xF6) &&
           SendCoreInstr(ctx, 0x0E, static_cast<uint8_t>(address >> 8)) && SendCoreInstr(ctx, 0x6E, 0xF7) &&
           SendCoreInstr(ctx, 0x0E, static_cast<uint8_t>(address >> 16)) && SendCoreInstr(ctx, 0x6E, 0xF8);
}

bool SendCommand(Context& ctx, uint8_t command, bool pulse) {
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    for (int i = 0; i < 4; ++i) {
        PutBit(ctx, command >> i);
        if (pulse && i == 3) {
            // Programming pulse: PGC held high on the fourth clock.
            SetClk(ctx, 1);
            const bool held = Delay(ctx, 120);
            SetClk(ctx, 0);
            if (!held || !Handshake(ctx)) return false;
        } else if (!ClkPulse(ctx)) {
            return false;
        }
    }
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    return true;
}

bool SendOperand(Context& ctx, uint16_t word) {
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    if (!ClockBitsOut(ctx, word, 16)) return false;
    SetDat(ctx, 1);
    return Handshake(ctx);
}

bool ReadTableBytes(Context& ctx, uint8_t* out, size_t n) {
    if (ctx.IsUsb()) {
        for (size_t k = 0; k < n; ++k) {
            // Only queued on USB: FtReadQueuedBytes learns from the transfer.
            (void)SendCommand(ctx, cmd::kTableReadPostInc, false);
            FtClockByteIn(ctx);
        }
        return FtReadQueuedBytes(ctx, out, n);
    }
    for (size_t k = 0; k < n; ++k) {
        if (!SendCommand(ctx, cmd::kTableReadPostInc, false)) return false;
        const auto b = ReadTableByte(ctx);
        if (!b) return false;
        out[k] = *b;
    }
    return true;
}

std::optional<uint8_t> ReadTableByte(Context& ctx) {
    if (ctx.IsUsb()) return FtReadByte(ctx);
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    for (int i = 0; i < 8; ++i)
        if (!ClkPulse(ctx)) return std::nullopt;
    SetDat(ctx, 0); // release PGD to the chip
    if (!Handshake(ctx)) return std::nullopt;
    uint8_t result = 0;
    for (int i = 0; i < 8; ++i) {
        SetClk(ctx, 1);
        if (!Handshake(ctx)) return std::nullopt;
        SetClk(ctx, 0);
        result = static_cast<uint8_t>(result >> 1);
        const LineLevel bit = GetDat(ctx);
        if (bit == LineLevel::NoAnswer) return std::nullopt;
        if (bit == LineLevel::High) result |= 0x80;
        if (!Handshake(ctx)) return std::nullopt;
    }
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    if (!Handshake(ctx)) return std::nullopt;
    return result;
}

bool BulkErase(Context& ctx) {
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    if (!Handshake(ctx) || !SetTblPtr(ctx, kAdrEraseControl) || !SendCommand(ctx, cmd::kTableWrite, false) ||
        !SendOperand(ctx, ctx.Is4620() ? 0x0F87 : 0x0080) || !SendCommand(ctx, cmd::kCoreInstruction, false) ||
        !SendOperand(ctx, 0x0000) || !SendCommand(ctx, cmd::kCoreInstruction, false))
        return false;
    // PGD held low while the chip erases.
    return Delay(ctx, 5000) && Handshake(ctx) && SendOperand(ctx, 0x0000);
}

namespace {
// Entry A from its first delay on: VPP raised, pulsed off, raised again.
bool EntryAPulses(Context& ctx) {
    return Delay(ctx, 1200) && SetVpp(ctx, 1) && Handshake(ctx) && SetVpp(ctx, 0) && Handshake(ctx) &&
           SetVpp(ctx, 1);
}
} // namespace

bool EnterProgModeABeforeSettle(Context& ctx) {
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    return EntryAPulses(ctx);
}

bool EnterProgModeA(Context& ctx) {
    return EnterProgModeABeforeSettle(ctx) && Delay(ctx, kEntrySettle);
}

bool EnterProgModeAForErase(Context& ctx) {
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    return Handshake(ctx) && EntryAPulses(ctx) && Delay(ctx, kEntrySettle);
}

bool EnterProgModeB(Context& ctx) {
    const bool off = SetVpp(ctx, 0);
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    return off && Delay(ctx, 1500) && SetVpp(ctx, 1);
}

bool EnterProgModeC(Context& ctx) {
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    return Delay(ctx, 1200) && SetVpp(ctx, 1);
}

bool EnterProgModeD(Context& ctx) {
    if (!Handshake(ctx)) return false;
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    return Delay(ctx, 1200) && SetVpp(ctx, 1) && Delay(ctx, 1200) && SetVpp(ctx, 0) && Delay(ctx, 1200) &&
           SetVpp(ctx, 1) && Delay(ctx, 1200);
}

bool EnterProgModeEBeforeSettle(Context& ctx) {
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    return Delay(ctx, 4000) && SetVpp(ctx, 1) && Delay(ctx, 4000) && SetVpp(ctx, 0) && Delay(ctx, 4000) &&
           SetVpp(ctx, 1);
}

bool EnterProgModeE(Context& ctx) {
    return EnterProgModeEBeforeSettle(ctx) && Delay(ctx, kEntrySettle);
}

void ExitProgMode(Context& ctx) {
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    // Leaving is the same whether the programmer still answers or not.
    (void)SetVpp(ctx, 0);
    SetClk(ctx, 1);
    SetDat(ctx, 0);
}

bool AbandonLostProgrammer(Context& ctx) {
    ExitProgMode(ctx);
    ctx.host.Okno(kProgrammerLost);
    return false;
}

bool SelectProgramMemory(Context& ctx) {
    if (!ctx.Is4620() && !ClearWriteModeRegister(ctx)) return false;
    return SendCoreInstr(ctx, 0x8E, 0xA6)    // EEPGD := 1
           && SendCoreInstr(ctx, 0x9C, 0xA6); // CFGS := 0
}

bool SelectConfigSpace(Context& ctx) {
    return ClearWriteModeRegister(ctx) && SendCoreInstr(ctx, 0x8E, 0xA6) // EEPGD := 1
           && SendCoreInstr(ctx, 0x8C, 0xA6);                           // CFGS := 1
}

bool SelectIdOrDevId(Context& ctx) {
    return ClearWriteModeRegister(ctx) && SendCoreInstr(ctx, 0x8E, 0xA6) && SendCoreInstr(ctx, 0x9C, 0xA6);
}

} // namespace mrk
