#pragma once
// Configuration bytes, ID locations, device ID and the whole-chip erase over ICSP.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "core/Host.h"
#include "icsp/Chip.h"
#include "transport/Line.h"

namespace mrk {

// Each routine stops at the step where its programmer stops answering, says so
// in the log (kProgrammerLost), leaves programming mode and gives false.

// Fills the chip's ConfigRead and its two device-ID bytes.
[[nodiscard]] bool ReadConfigWords(Line& line, Chip& chip, Host& host);
// Writes configWrite (the code-protection pair last), reads it back into
// ConfigRead; true when all fourteen bytes equal configWrite.
[[nodiscard]] bool WriteConfigWords(Line& line, Chip& chip, Host& host, const std::array<uint8_t, 14>& configWrite);
// Fills the chip's IdWords and shows them on the service line (after a lost
// programmer the words not read are 0 and the service line is left as it was).
[[nodiscard]] bool ReadIdWords(Line& line, Chip& chip, Host& host, std::string& serviceLine);
// Writes ID words 1..3 (word 0 belongs to the module's boot loader).
[[nodiscard]] bool WriteIdWords(Line& line, const Chip& chip, Host& host, uint16_t w1, uint16_t w2, uint16_t w3);
// Bulk erase; leaves VPP applied. `clearLog` runs between the last two VPP switches.
[[nodiscard]] bool EraseChip(Line& line, const Chip& chip, Host& host, const std::function<void()>& clearLog = {});
// The plain device-ID read: no memory selection, no retries; result on the service line.
[[nodiscard]] bool ReadDevIdPlain(Line& line, Chip& chip, Host& host, std::string& serviceLine);

} // namespace mrk
