#pragma once
// PIC18 in-circuit serial programming primitives, built on the line operations.
// The chip acknowledges nothing (its failures show in read-back), but the
// programmer does: each primitive says whether the programmer answered all of
// it (on LPT every echo cycle, on USB every transfer it made; samples only
// queued are answered by the next transfer).
#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/Host.h"
#include "icsp/Chip.h"
#include "transport/Line.h"

namespace mrk {

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

[[nodiscard]] bool SendCoreInstr(Line& line, uint8_t opcodeByte, uint8_t lowByte);
[[nodiscard]] bool ClearTblPtr(Line& line);
[[nodiscard]] bool SetTblPtr(Line& line, uint32_t address);
[[nodiscard]] bool SendCommand(Line& line, uint8_t command, bool pulse);
[[nodiscard]] bool SendOperand(Line& line, uint16_t word);
// The byte the chip shifts out; none when the programmer did not answer.
[[nodiscard]] std::optional<uint8_t> ReadTableByte(Line& line);
// n table reads (post-increment) from the table pointer on, into out; false at
// the first byte the programmer did not bring back. On USB they go out in one
// transfer and their bytes come back from its read-back: one round trip.
[[nodiscard]] bool ReadTableBytes(Line& line, uint8_t* out, size_t n);
[[nodiscard]] bool BulkErase(Line& line, const Chip& chip);

// Programming-mode entry variants and the exit sequence.
[[nodiscard]] bool EnterProgModeA(Line& line);           // boot write/reads, ID write
// Entries A and E without their closing settle delay, for callers that set the
// progress gauge in between and then settle themselves.
[[nodiscard]] bool EnterProgModeABeforeSettle(Line& line);
[[nodiscard]] bool EnterProgModeEBeforeSettle(Line& line);
constexpr uint16_t kEntrySettle = 500;
[[nodiscard]] bool EnterProgModeAForErase(Line& line);   // A with one extra handshake first
[[nodiscard]] bool EnterProgModeB(Line& line);           // device-ID read of programmer open
[[nodiscard]] bool EnterProgModeC(Line& line);           // configuration read, plain device-ID read
[[nodiscard]] bool EnterProgModeD(Line& line);           // configuration write
[[nodiscard]] bool EnterProgModeE(Line& line);           // ID read
void ExitProgMode(Line& line);

// The one log line of a chip routine that stopped because its programmer no
// longer answers (unplugged, no echo, USB transfers failing or left incomplete).
inline constexpr const char* kProgrammerLost = "Связь с программатором потеряна. Операция прервана.";
// Leaves programming mode, says kProgrammerLost and gives false, for the
// routine to return.
[[nodiscard]] bool AbandonLostProgrammer(Line& line, Host& host);

// Memory selection right after entry.
[[nodiscard]] bool SelectProgramMemory(Line& line, const Chip& chip);      // write-mode register only on the 452
[[nodiscard]] bool SelectConfigSpace(Line& line);
[[nodiscard]] bool SelectIdOrDevId(Line& line);          // program memory, write-mode register on both

} // namespace mrk
