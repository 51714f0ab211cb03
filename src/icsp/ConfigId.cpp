#include "icsp/ConfigId.h"

#include <optional>

#include "core/Format.h"
#include "core/Host.h"
#include "icsp/Icsp.h"
#include "transport/Line.h"

namespace mrk {

namespace {

bool ReadConfigInto(Line& line, Chip& chip) {
    return ReadTableBytes(line, chip.ConfigRead.data(), chip.ConfigRead.size());
}

// DEVID1 and DEVID2, from a table pointer already set.
bool ReadDevIdBytes(Line& line, Chip& chip) {
    uint8_t id[2] = {};
    if (!ReadTableBytes(line, id, 2)) return false;
    chip.DevId1 = id[0];
    chip.DevId2 = id[1];
    return true;
}

// One configuration byte: start programming with the byte in the operand half
// its address calls for, then the programming pulse.
bool WriteConfigByte(Line& line, uint16_t operand) {
    return SendCommand(line, cmd::kTableWriteStartProg, false) && SendOperand(line, operand) &&
           SendCommand(line, cmd::kCoreInstruction, true) && SendOperand(line, 0x0000);
}

} // namespace

bool ReadConfigWords(Line& line, Chip& chip, Host& host) {
    if (!EnterProgModeC(line) || !SetTblPtr(line, kAdrConfig) || !line.Handshake() || !ReadConfigInto(line, chip))
        return AbandonLostProgrammer(line, host);
    if (!SetTblPtr(line, kAdrDevId1) || !ReadDevIdBytes(line, chip)) return AbandonLostProgrammer(line, host);
    ExitProgMode(line);
    return true;
}

bool WriteConfigWords(Line& line, Chip& chip, Host& host, const std::array<uint8_t, 14>& cw) {
    if (!EnterProgModeD(line) || !SelectConfigSpace(line)) return AbandonLostProgrammer(line, host);
    // The code-protection pair goes last: once set, nothing else could be verified.
    // A programmer gone before it never gets to set protection on half a configuration.
    for (uint32_t p : {0u, 1u, 2u, 3u, 5u, 6u, 4u}) {
        const bool written = SetTblPtr(line, kAdrConfig + 2 * p) && WriteConfigByte(line, cw[2 * p]) &&
                             SendCoreInstr(line, 0x2A, 0xF6) // INCF TBLPTRL: the odd byte
                             && WriteConfigByte(line, static_cast<uint16_t>(cw[2 * p + 1] << 8));
        if (!written) return AbandonLostProgrammer(line, host);
    }
    line.SetClk(0);
    line.SetDat(1);
    bool settled = true;
    for (int k = 0; k < 3 && settled; ++k) settled = line.Delay(1200);
    if (!settled || !SetTblPtr(line, kAdrConfig) || !line.Delay(1200) || !ReadConfigInto(line, chip))
        return AbandonLostProgrammer(line, host);
    ExitProgMode(line);
    return chip.ConfigRead == cw;
}

namespace {

// The gauge is set while the chip settles after entry, as the main window shows it.
bool ResetGaugeAndSettle(Line& line, const Chip& chip, Host& host) {
    host.GaugeMax(static_cast<long>(chip.BootWords) - 1);
    host.GaugePos(0);
    return line.Delay(kEntrySettle);
}

} // namespace

bool ReadIdWords(Line& line, Chip& chip, Host& host, std::string& serviceLine) {
    // Words this read does not bring back read as zeros, never as what an
    // earlier read left (the update command compares word 0 with its sums).
    chip.IdWords.fill(0);
    if (!EnterProgModeEBeforeSettle(line) || !ResetGaugeAndSettle(line, chip, host) || !SelectIdOrDevId(line) ||
        !SetTblPtr(line, kAdrIdLocations))
        return AbandonLostProgrammer(line, host);
    uint8_t b[8] = {};
    static_assert(sizeof b == 2 * std::tuple_size_v<decltype(chip.IdWords)>);
    if (!ReadTableBytes(line, b, sizeof b)) return AbandonLostProgrammer(line, host);
    for (size_t k = 0; k < chip.IdWords.size(); ++k)
        chip.IdWords[k] = static_cast<uint32_t>(b[2 * k + 1] << 8 | b[2 * k]);
    host.Pump();
    ExitProgMode(line);
    // The words are in; the next command finds out whether the programmer is still there.
    (void)line.SetVpp(0);
    const auto& id = chip.IdWords;
    serviceLine = Format("d[0]=%X d[1]=%X d[2]=%X d[3]=%X", id[0], id[1], id[2], id[3]);
    host.Label2(serviceLine);
    return true;
}

bool WriteIdWords(Line& line, const Chip& chip, Host& host, uint16_t w1, uint16_t w2, uint16_t w3) {
    if (!EnterProgModeABeforeSettle(line) || !ResetGaugeAndSettle(line, chip, host) || !SelectIdOrDevId(line) ||
        !SetTblPtr(line, kAdrIdLocations + 2))
        return AbandonLostProgrammer(line, host);
    const bool written = SendCommand(line, cmd::kTableWritePostInc2, false) && SendOperand(line, w1) &&
                         SendCommand(line, cmd::kTableWritePostInc2, false) && SendOperand(line, w2) &&
                         SendCommand(line, cmd::kTableWriteStartProg, false) && SendOperand(line, w3) &&
                         SendCommand(line, cmd::kCoreInstruction, true) && SendOperand(line, 0x0000);
    host.Pump();
    if (!written) return AbandonLostProgrammer(line, host);
    ExitProgMode(line);
    return true;
}

bool EraseChip(Line& line, const Chip& chip, Host& host, const std::function<void()>& clearLog) {
    if (!EnterProgModeAForErase(line) || !BulkErase(line, chip)) return AbandonLostProgrammer(line, host);
    line.SetClk(0);
    line.SetDat(1);
    // The erase has reached the chip; VPP left on is the next step's to check.
    (void)line.SetVpp(0);
    if (clearLog) clearLog();
    (void)line.SetVpp(1);
    return true;
}

bool ReadDevIdPlain(Line& line, Chip& chip, Host& host, std::string& serviceLine) {
    if (!EnterProgModeC(line) || !SetTblPtr(line, kAdrDevId1) || !ReadDevIdBytes(line, chip))
        return AbandonLostProgrammer(line, host);
    ExitProgMode(line);
    serviceLine = Format("Devid1=%X Devid2=%X", chip.DevId1, chip.DevId2);
    host.Label2(serviceLine);
    return true;
}

} // namespace mrk
