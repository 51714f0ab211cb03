#pragma once
// config describe [REGISTER|all]: the bit descriptions of the configuration
// registers for the chip of the session, with the bits of the loaded ConfigWrite.
#include <string>

#include "cli/CommandTable.h"

namespace mrk::cli {

// A register name CONFIG1L..CONFIG7H (any case) or "all"; else a message for CLI11.
std::string CheckDescribedRegister(const std::string& word);
// Prints the lists; 0 on success, 2 when the session knows no chip.
[[nodiscard]] int DescribeConfig(Session& s, const std::string& reg);

} // namespace mrk::cli
