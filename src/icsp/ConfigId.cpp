#include "icsp/ConfigId.h"

#include <optional>

#include "core/Context.h"
#include "core/Format.h"
#include "icsp/Icsp.h"
#include "transport/PortProg.h"

namespace mrk {

namespace {

bool ReadConfigInto(Context& ctx) {
    return ReadTableBytes(ctx, ctx.prog.ConfigRead.data(), ctx.prog.ConfigRead.size());
}

// DEVID1 and DEVID2, from a table pointer already set.
bool ReadDevIdBytes(Context& ctx) {
    uint8_t id[2] = {};
    if (!ReadTableBytes(ctx, id, 2)) return false;
    ctx.prog.DevId1 = id[0];
    ctx.prog.DevId2 = id[1];
    return true;
}

// One configuration byte: start programming with the byte in the operand half
// its address calls for, then the programming pulse.
bool WriteConfigByte(Context& ctx, uint16_t operand) {
    return SendCommand(ctx, cmd::kTableWriteStartProg, false) && SendOperand(ctx, operand) &&
           SendCommand(ctx, cmd::kCoreInstruction, true) && SendOperand(ctx, 0x0000);
}

} // namespace

bool ReadConfigWords(Context& ctx) {
    if (!EnterProgModeC(ctx) || !SetTblPtr(ctx, kAdrConfig) || !Handshake(ctx) || !ReadConfigInto(ctx))
        return AbandonLostProgrammer(ctx);
    if (!SetTblPtr(ctx, kAdrDevId1) || !ReadDevIdBytes(ctx)) return AbandonLostProgrammer(ctx);
    ExitProgMode(ctx);
    return true;
}

bool WriteConfigWords(Context& ctx) {
    if (!EnterProgModeD(ctx) || !SelectConfigSpace(ctx)) return AbandonLostProgrammer(ctx);
    const auto& cw = ctx.image.ConfigWrite;
    // The code-protection pair goes last: once set, nothing else could be verified.
    // A programmer gone before it never gets to set protection on half a configuration.
    for (uint32_t p : {0u, 1u, 2u, 3u, 5u, 6u, 4u}) {
        const bool written = SetTblPtr(ctx, kAdrConfig + 2 * p) && WriteConfigByte(ctx, cw[2 * p]) &&
                             SendCoreInstr(ctx, 0x2A, 0xF6) // INCF TBLPTRL: the odd byte
                             && WriteConfigByte(ctx, static_cast<uint16_t>(cw[2 * p + 1] << 8));
        if (!written) return AbandonLostProgrammer(ctx);
    }
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    bool settled = true;
    for (int k = 0; k < 3 && settled; ++k) settled = Delay(ctx, 1200);
    if (!settled || !SetTblPtr(ctx, kAdrConfig) || !Delay(ctx, 1200) || !ReadConfigInto(ctx))
        return AbandonLostProgrammer(ctx);
    ExitProgMode(ctx);
    return ctx.prog.ConfigRead == cw;
}

namespace {

// The gauge is set while the chip settles after entry, as the main window shows it.
bool ResetGaugeAndSettle(Context& ctx) {
    ctx.host.GaugeMax(static_cast<long>(ctx.prog.BootWords) - 1);
    ctx.host.GaugePos(0);
    return Delay(ctx, kEntrySettle);
}

} // namespace

bool ReadIdWords(Context& ctx) {
    // Words this read does not bring back read as zeros, never as what an
    // earlier read left (the update command compares word 0 with its sums).
    ctx.prog.IdWords.fill(0);
    if (!EnterProgModeEBeforeSettle(ctx) || !ResetGaugeAndSettle(ctx) || !SelectIdOrDevId(ctx) ||
        !SetTblPtr(ctx, kAdrIdLocations))
        return AbandonLostProgrammer(ctx);
    uint8_t b[8] = {};
    static_assert(sizeof b == 2 * std::tuple_size_v<decltype(ctx.prog.IdWords)>);
    if (!ReadTableBytes(ctx, b, sizeof b)) return AbandonLostProgrammer(ctx);
    for (size_t k = 0; k < ctx.prog.IdWords.size(); ++k)
        ctx.prog.IdWords[k] = static_cast<uint32_t>(b[2 * k + 1] << 8 | b[2 * k]);
    ctx.host.Pump();
    ExitProgMode(ctx);
    // The words are in; the next command finds out whether the programmer is still there.
    (void)SetVpp(ctx, 0);
    const auto& id = ctx.prog.IdWords;
    ctx.prog.Label2Text = Format("d[0]=%X d[1]=%X d[2]=%X d[3]=%X", id[0], id[1], id[2], id[3]);
    ctx.host.Label2(ctx.prog.Label2Text);
    return true;
}

bool WriteIdWords(Context& ctx, uint16_t w1, uint16_t w2, uint16_t w3) {
    if (!EnterProgModeABeforeSettle(ctx) || !ResetGaugeAndSettle(ctx) || !SelectIdOrDevId(ctx) ||
        !SetTblPtr(ctx, kAdrIdLocations + 2))
        return AbandonLostProgrammer(ctx);
    const bool written = SendCommand(ctx, cmd::kTableWritePostInc2, false) && SendOperand(ctx, w1) &&
                         SendCommand(ctx, cmd::kTableWritePostInc2, false) && SendOperand(ctx, w2) &&
                         SendCommand(ctx, cmd::kTableWriteStartProg, false) && SendOperand(ctx, w3) &&
                         SendCommand(ctx, cmd::kCoreInstruction, true) && SendOperand(ctx, 0x0000);
    ctx.host.Pump();
    if (!written) return AbandonLostProgrammer(ctx);
    ExitProgMode(ctx);
    return true;
}

bool EraseChip(Context& ctx, void (*clearLog)(Context&)) {
    if (!EnterProgModeAForErase(ctx) || !BulkErase(ctx)) return AbandonLostProgrammer(ctx);
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    // The erase has reached the chip; VPP left on is the next step's to check.
    (void)SetVpp(ctx, 0);
    if (clearLog) clearLog(ctx);
    (void)SetVpp(ctx, 1);
    return true;
}

bool ReadDevIdPlain(Context& ctx) {
    if (!EnterProgModeC(ctx) || !SetTblPtr(ctx, kAdrDevId1) || !ReadDevIdBytes(ctx))
        return AbandonLostProgrammer(ctx);
    ExitProgMode(ctx);
    ctx.prog.Label2Text = Format("Devid1=%X Devid2=%X", ctx.prog.DevId1, ctx.prog.DevId2);
    ctx.host.Label2(ctx.prog.Label2Text);
    return true;
}

} // namespace mrk
