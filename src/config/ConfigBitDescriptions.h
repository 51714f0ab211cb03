#pragma once
// The bit descriptions of the fourteen configuration registers, per chip, as the
// configuration window lists them. The lists are kept as text in
// ConfigBitDescriptions.txt and compiled into the program.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mrk {

constexpr int kConfigRegisters = 14;

// "CONFIG1L" .. "CONFIG7H" for index 0..13 (chip address 0x300000 + index).
std::string_view ConfigRegisterName(int index);
// The index of a register name, upper or lower case; nullopt for anything else.
[[nodiscard]] std::optional<int> ConfigRegisterIndex(std::string_view name);

// The description lines of register `index` (0..13) for the PIC18F4620 (true) or
// the PIC18F452 (false), in display order. Empty for an index out of range.
const std::vector<std::string>& ConfigBitLines(int index, bool pic18f4620);

// The embedded text, and the parse of any such text (for checking an edited file).
std::string_view ConfigBitDescriptionsText();
struct ConfigBitTables {
    std::vector<std::string> lines[kConfigRegisters][2]; // [register][0 = 452, 1 = 4620]
    std::string error; // the first problem found; empty when every list is present
};
ConfigBitTables ParseConfigBitDescriptions(std::string_view text);

} // namespace mrk
