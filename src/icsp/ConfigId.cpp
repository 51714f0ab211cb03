#include "icsp/ConfigId.h"

#include "core/Context.h"
#include "core/Format.h"
#include "icsp/Icsp.h"
#include "transport/LinkWatch.h"
#include "transport/PortProg.h"

namespace mrk {

namespace {

uint8_t TableRead(Context& ctx) {
    SendCommand(ctx, cmd::kTableReadPostInc, false);
    return ReadTableByte(ctx);
}

// Reads the fourteen bytes; false where the programmer stopped answering.
bool ReadConfigInto(Context& ctx, const LinkWatch& link) {
    for (size_t k = 0; k < ctx.prog.ConfigRead.size(); ++k) {
        ctx.prog.ConfigRead[k] = TableRead(ctx);
        if (link.Lost()) return false;
    }
    return true;
}

// One configuration byte: start programming with the byte in the operand half
// its address calls for, then the programming pulse.
void WriteConfigByte(Context& ctx, uint16_t operand) {
    SendCommand(ctx, cmd::kTableWriteStartProg, false);
    SendOperand(ctx, operand);
    SendCommand(ctx, cmd::kCoreInstruction, true);
    SendOperand(ctx, 0x0000);
}

} // namespace

bool ReadConfigWords(Context& ctx) {
    const LinkWatch link(ctx);
    EnterProgModeC(ctx);
    SetTblPtr(ctx, kAdrConfig);
    Handshake(ctx);
    if (link.Lost() || !ReadConfigInto(ctx, link)) return AbandonLostProgrammer(ctx);
    SetTblPtr(ctx, kAdrDevId1);
    ctx.prog.DevId1 = TableRead(ctx);
    ctx.prog.DevId2 = TableRead(ctx);
    if (link.Lost()) return AbandonLostProgrammer(ctx);
    ExitProgMode(ctx);
    return true;
}

bool WriteConfigWords(Context& ctx) {
    const LinkWatch link(ctx);
    EnterProgModeD(ctx);
    SelectConfigSpace(ctx);
    if (link.Lost()) return AbandonLostProgrammer(ctx);
    const auto& cw = ctx.image.ConfigWrite;
    // The code-protection pair goes last: once set, nothing else could be verified.
    // A programmer gone before it never gets to set protection on half a configuration.
    for (uint32_t p : {0u, 1u, 2u, 3u, 5u, 6u, 4u}) {
        SetTblPtr(ctx, kAdrConfig + 2 * p);
        WriteConfigByte(ctx, cw[2 * p]);
        SendCoreInstr(ctx, 0x2A, 0xF6); // INCF TBLPTRL: the odd byte
        WriteConfigByte(ctx, static_cast<uint16_t>(cw[2 * p + 1] << 8));
        if (link.Lost()) return AbandonLostProgrammer(ctx);
    }
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    for (int k = 0; k < 3; ++k) Delay(ctx, 1200);
    SetTblPtr(ctx, kAdrConfig);
    Delay(ctx, 1200);
    if (link.Lost() || !ReadConfigInto(ctx, link)) return AbandonLostProgrammer(ctx);
    ExitProgMode(ctx);
    return ctx.prog.ConfigRead == cw;
}

namespace {

// The gauge is set while the chip settles after entry, as the main window shows it.
void ResetGaugeAndSettle(Context& ctx) {
    ctx.host.GaugeMax(static_cast<long>(ctx.prog.BootWords) - 1);
    ctx.host.GaugePos(0);
    Delay(ctx, kEntrySettle);
}

} // namespace

bool ReadIdWords(Context& ctx) {
    // Words this read does not bring back read as zeros, never as what an
    // earlier read left (the update command compares word 0 with its sums).
    ctx.prog.IdWords.fill(0);
    const LinkWatch link(ctx);
    EnterProgModeEBeforeSettle(ctx);
    ResetGaugeAndSettle(ctx);
    SelectIdOrDevId(ctx);
    if (link.Lost()) return AbandonLostProgrammer(ctx);
    SetTblPtr(ctx, kAdrIdLocations);
    if (link.Lost()) return AbandonLostProgrammer(ctx);
    for (auto& w : ctx.prog.IdWords) {
        const uint8_t lo = TableRead(ctx);
        const uint8_t hi = TableRead(ctx);
        if (link.Lost()) return AbandonLostProgrammer(ctx);
        w = static_cast<uint32_t>(hi << 8 | lo);
    }
    ctx.host.Pump();
    ExitProgMode(ctx);
    SetVpp(ctx, 0);
    const auto& id = ctx.prog.IdWords;
    ctx.prog.Label2Text = Format("d[0]=%X d[1]=%X d[2]=%X d[3]=%X", id[0], id[1], id[2], id[3]);
    ctx.host.Label2(ctx.prog.Label2Text);
    return true;
}

bool WriteIdWords(Context& ctx, uint16_t w1, uint16_t w2, uint16_t w3) {
    const LinkWatch link(ctx);
    EnterProgModeABeforeSettle(ctx);
    ResetGaugeAndSettle(ctx);
    SelectIdOrDevId(ctx);
    if (link.Lost()) return AbandonLostProgrammer(ctx);
    SetTblPtr(ctx, kAdrIdLocations + 2);
    if (link.Lost()) return AbandonLostProgrammer(ctx);
    SendCommand(ctx, cmd::kTableWritePostInc2, false);
    SendOperand(ctx, w1);
    SendCommand(ctx, cmd::kTableWritePostInc2, false);
    SendOperand(ctx, w2);
    SendCommand(ctx, cmd::kTableWriteStartProg, false);
    SendOperand(ctx, w3);
    SendCommand(ctx, cmd::kCoreInstruction, true);
    SendOperand(ctx, 0x0000);
    ctx.host.Pump();
    if (link.Lost()) return AbandonLostProgrammer(ctx);
    ExitProgMode(ctx);
    return true;
}

bool EraseChip(Context& ctx, void (*clearLog)(Context&)) {
    const LinkWatch link(ctx);
    EnterProgModeAForErase(ctx);
    if (link.Lost()) return AbandonLostProgrammer(ctx);
    BulkErase(ctx);
    if (link.Lost()) return AbandonLostProgrammer(ctx);
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    SetVpp(ctx, 0);
    if (clearLog) clearLog(ctx);
    SetVpp(ctx, 1);
    return true;
}

bool ReadDevIdPlain(Context& ctx) {
    const LinkWatch link(ctx);
    EnterProgModeC(ctx);
    SetTblPtr(ctx, kAdrDevId1);
    if (link.Lost()) return AbandonLostProgrammer(ctx);
    ctx.prog.DevId1 = TableRead(ctx);
    ctx.prog.DevId2 = TableRead(ctx);
    if (link.Lost()) return AbandonLostProgrammer(ctx);
    ExitProgMode(ctx);
    ctx.prog.Label2Text = Format("Devid1=%X Devid2=%X", ctx.prog.DevId1, ctx.prog.DevId2);
    ctx.host.Label2(ctx.prog.Label2Text);
    return true;
}

} // namespace mrk
