#pragma once
// The module's whole memory as an Intel HEX file: program flash from address 0,
// ID locations under upper address 0x0020, configuration under 0x0030, data EEPROM
// under 0x00F0, device ID under 0x003F (written for inspection; on load it must name
// this chip, and is not taken over).
#include <string>
#include <string_view>

#include "sim/ModuleMemory.h"

namespace mrk::sim {

// Replaces `memory` (flash, ID, configuration; not the device ID) with the file's
// content; what the file leaves out is erased / default. On a damaged or unreadable
// file `memory` is left as it was and `error` says what is wrong where.
[[nodiscard]] bool LoadModuleHex(const std::string& path, ModuleMemory& memory, std::string& error);
// The same from HEX text held in memory.
[[nodiscard]] bool LoadModuleHexText(std::string_view text, ModuleMemory& memory, std::string& error);
// The memory as HEX text, as SaveModuleHex writes it.
std::string ModuleHexText(const ModuleMemory& memory);
// Writes the memory; erased 16-byte lines of flash and ID are left out. The file is
// written beside the target and renamed over it, so a failed save keeps the old file.
[[nodiscard]] bool SaveModuleHex(const std::string& path, const ModuleMemory& memory, std::string& error);

} // namespace mrk::sim
