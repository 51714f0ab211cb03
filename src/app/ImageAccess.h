#pragma once
// The station hands the firmware and configuration routines what they work on:
// its images, the chip the programmer last identified, its host, its programmer.
#include "config/ConfigAccess.h"
#include "image/ImageLoad.h"

namespace mrk {

struct Context;

[[nodiscard]] TargetChip TargetChipOf(const Context& ctx);
[[nodiscard]] ImageLoad ImageLoadOf(Context& ctx);
// The configuration to write, written and read through the station's programmer;
// the result line is the configuration window's.
[[nodiscard]] ConfigAccess ConfigAccessOf(Context& ctx);

} // namespace mrk
