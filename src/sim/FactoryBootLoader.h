#pragma once
// A module as it leaves the factory carries the boot loader: the bench can start
// from one, so that an update can be written straight away.
#include <string_view>

#include "sim/VirtualModule.h"

namespace mrk::sim {

// Intel HEX text of the demo boot loader for the chip (built from firmware/).
std::string_view FactoryBootLoaderHex(ChipModel chip);

} // namespace mrk::sim
