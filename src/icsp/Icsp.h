#pragma once
// PIC18 in-circuit serial programming primitives, built on the line operations.
// None reports errors: ICSP has no acknowledgement; failures show in read-back.
#include <cstdint>

namespace mrk {

struct Context;

// 4-bit ICSP commands.
namespace cmd {
constexpr uint8_t kCoreInstruction = 0x0;
constexpr uint8_t kTableReadPostInc = 0x9;
constexpr uint8_t kTableWrite = 0xC;
constexpr uint8_t kTableWritePostInc2 = 0xD;
constexpr uint8_t kTableWriteStartProg = 0xF;
} // namespace cmd

// Chip addresses.
constexpr uint32_t kAdrIdLocations = 0x200000;
constexpr uint32_t kAdrConfig = 0x300000;
constexpr uint32_t kAdrEraseControl = 0x3C0004;
constexpr uint32_t kAdrWriteMode = 0x3C0006;
constexpr uint32_t kAdrDevId1 = 0x3FFFFE;

void SendCoreInstr(Context& ctx, uint8_t opcodeByte, uint8_t lowByte);
void ClearTblPtr(Context& ctx);
void SetTblPtr(Context& ctx, uint32_t address);
void SendCommand(Context& ctx, uint8_t command, bool pulse);
void SendOperand(Context& ctx, uint16_t word);
uint8_t ReadTableByte(Context& ctx);
void BulkErase(Context& ctx);

// Programming-mode entry variants and the exit sequence.
void EnterProgModeA(Context& ctx);           // boot write/reads, ID write
// Entries A and E without their closing settle delay, for callers that set the
// progress gauge in between and then settle themselves.
void EnterProgModeABeforeSettle(Context& ctx);
void EnterProgModeEBeforeSettle(Context& ctx);
constexpr uint16_t kEntrySettle = 500;
void EnterProgModeAForErase(Context& ctx);   // A with one extra handshake first
void EnterProgModeB(Context& ctx);           // device-ID read of programmer open
void EnterProgModeC(Context& ctx);           // configuration read, plain device-ID read
void EnterProgModeD(Context& ctx);           // configuration write
void EnterProgModeE(Context& ctx);           // ID read
void ExitProgMode(Context& ctx);

// The one log line of a chip routine that stopped because its programmer no
// longer answers (unplugged, no echo, USB transfers failing or left incomplete).
inline constexpr const char* kProgrammerLost = "Связь с программатором потеряна. Операция прервана.";
// Leaves programming mode, says kProgrammerLost and gives false, for the
// routine to return.
bool AbandonLostProgrammer(Context& ctx);

// Memory selection right after entry.
void SelectProgramMemory(Context& ctx);      // write-mode register only on the 452
void SelectConfigSpace(Context& ctx);
void SelectIdOrDevId(Context& ctx);          // program memory, write-mode register on both

} // namespace mrk
