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

void ClearWriteModeRegister(Context& ctx) {
    SetTblPtr(ctx, kAdrWriteMode);
    SendCommand(ctx, cmd::kTableWrite, false);
    SendOperand(ctx, 0x0000);
}

} // namespace

void SendCoreInstr(Context& ctx, uint8_t opcodeByte, uint8_t lowByte) {
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    Handshake(ctx);
    for (int i = 0; i < 4; ++i) ClkPulse(ctx); // command 0000, PGD low
    Handshake(ctx);
    for (int i = 0; i < 8; ++i) {
        PutBit(ctx, lowByte >> i);
        ClkPulse(ctx);
    }
    for (int i = 0; i < 8; ++i) {
        PutBit(ctx, opcodeByte >> i);
        ClkPulse(ctx);
    }
    SetDat(ctx, 1);
    Handshake(ctx);
}

void ClearTblPtr(Context& ctx) {
    SendCoreInstr(ctx, 0x0E, 0x00);
    SendCoreInstr(ctx, 0x6E, 0xF6);
    SendCoreInstr(ctx, 0x6E, 0xF7);
    SendCoreInstr(ctx, 0x6E, 0xF8);
}

void SetTblPtr(Context& ctx, uint32_t address) {
    SendCoreInstr(ctx, 0x0E, static_cast<uint8_t>(address));
    SendCoreInstr(ctx, 0x6E, 0xF6);
    SendCoreInstr(ctx, 0x0E, static_cast<uint8_t>(address >> 8));
    SendCoreInstr(ctx, 0x6E, 0xF7);
    SendCoreInstr(ctx, 0x0E, static_cast<uint8_t>(address >> 16));
    SendCoreInstr(ctx, 0x6E, 0xF8);
}

void SendCommand(Context& ctx, uint8_t command, bool pulse) {
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    for (int i = 0; i < 4; ++i) {
        PutBit(ctx, command >> i);
        if (pulse && i == 3) {
            // Programming pulse: PGC held high on the fourth clock.
            SetClk(ctx, 1);
            Delay(ctx, 120);
            SetClk(ctx, 0);
            Handshake(ctx);
        } else {
            ClkPulse(ctx);
        }
    }
    SetClk(ctx, 0);
    SetDat(ctx, 1);
}

void SendOperand(Context& ctx, uint16_t word) {
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    for (int i = 0; i < 16; ++i) {
        PutBit(ctx, word >> i);
        ClkPulse(ctx);
    }
    SetDat(ctx, 1);
    Handshake(ctx);
}

uint8_t ReadTableByte(Context& ctx) {
    if (ctx.IsUsb()) return FtReadByte(ctx);
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    for (int i = 0; i < 8; ++i) ClkPulse(ctx);
    SetDat(ctx, 0); // release PGD to the chip
    Handshake(ctx);
    uint8_t result = 0;
    for (int i = 0; i < 8; ++i) {
        SetClk(ctx, 1);
        Handshake(ctx);
        SetClk(ctx, 0);
        result = static_cast<uint8_t>(result >> 1);
        if (GetDat(ctx)) result |= 0x80;
        Handshake(ctx);
    }
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    Handshake(ctx);
    return result;
}

void BulkErase(Context& ctx) {
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    Handshake(ctx);
    SetTblPtr(ctx, kAdrEraseControl);
    SendCommand(ctx, cmd::kTableWrite, false);
    SendOperand(ctx, ctx.Is4620() ? 0x0F87 : 0x0080);
    SendCommand(ctx, cmd::kCoreInstruction, false);
    SendOperand(ctx, 0x0000);
    SendCommand(ctx, cmd::kCoreInstruction, false);
    Delay(ctx, 5000); // PGD held low while the chip erases
    Handshake(ctx);
    SendOperand(ctx, 0x0000);
}

namespace {
// Entry A from its first delay on: VPP raised, pulsed off, raised again.
void EntryAPulses(Context& ctx) {
    Delay(ctx, 1200);
    SetVpp(ctx, 1);
    Handshake(ctx);
    SetVpp(ctx, 0);
    Handshake(ctx);
    SetVpp(ctx, 1);
}
} // namespace

void EnterProgModeABeforeSettle(Context& ctx) {
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    EntryAPulses(ctx);
}

void EnterProgModeA(Context& ctx) {
    EnterProgModeABeforeSettle(ctx);
    Delay(ctx, kEntrySettle);
}

void EnterProgModeAForErase(Context& ctx) {
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    Handshake(ctx);
    EntryAPulses(ctx);
    Delay(ctx, kEntrySettle);
}

void EnterProgModeB(Context& ctx) {
    SetVpp(ctx, 0);
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    Delay(ctx, 1500);
    SetVpp(ctx, 1);
}

void EnterProgModeC(Context& ctx) {
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    Delay(ctx, 1200);
    SetVpp(ctx, 1);
}

void EnterProgModeD(Context& ctx) {
    Handshake(ctx);
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    Delay(ctx, 1200);
    SetVpp(ctx, 1);
    Delay(ctx, 1200);
    SetVpp(ctx, 0);
    Delay(ctx, 1200);
    SetVpp(ctx, 1);
    Delay(ctx, 1200);
}

void EnterProgModeEBeforeSettle(Context& ctx) {
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    Delay(ctx, 4000);
    SetVpp(ctx, 1);
    Delay(ctx, 4000);
    SetVpp(ctx, 0);
    Delay(ctx, 4000);
    SetVpp(ctx, 1);
}

void EnterProgModeE(Context& ctx) {
    EnterProgModeEBeforeSettle(ctx);
    Delay(ctx, kEntrySettle);
}

void ExitProgMode(Context& ctx) {
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    SetVpp(ctx, 0);
    SetClk(ctx, 1);
    SetDat(ctx, 0);
}

bool AbandonLostProgrammer(Context& ctx) {
    ExitProgMode(ctx);
    ctx.host.Okno(kProgrammerLost);
    return false;
}

void SelectProgramMemory(Context& ctx) {
    if (!ctx.Is4620()) ClearWriteModeRegister(ctx);
    SendCoreInstr(ctx, 0x8E, 0xA6); // EEPGD := 1
    SendCoreInstr(ctx, 0x9C, 0xA6); // CFGS := 0
}

void SelectConfigSpace(Context& ctx) {
    ClearWriteModeRegister(ctx);
    SendCoreInstr(ctx, 0x8E, 0xA6); // EEPGD := 1
    SendCoreInstr(ctx, 0x8C, 0xA6); // CFGS := 1
}

void SelectIdOrDevId(Context& ctx) {
    ClearWriteModeRegister(ctx);
    SendCoreInstr(ctx, 0x8E, 0xA6);
    SendCoreInstr(ctx, 0x9C, 0xA6);
}

} // namespace mrk
