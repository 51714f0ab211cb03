#pragma once
// The instructions for installing the USB programmer's driver, as the main
// window writes them into its log: one entry per log line.
#include <array>

namespace mrk::gui {

extern const std::array<const char*, 19> kDriverInstructionLines;

} // namespace mrk::gui
