#pragma once
// Loading an Intel HEX file into the reference image.
#include <cstdint>
#include <string>

namespace mrk {

struct Context;

// The file a loader of the given kind reads: kind 0 the update file (Edit1);
// kind 1 the boot loader of the current chip (Edit2 for the PIC18F4620, else Edit5).
const std::string& ImagePath(const Context& ctx, uint8_t kind);

// Reads the HEX file of ImagePath(kind) into BuffEt and ConfigWrite without
// clearing BuffEt first; configuration records are stored for both kinds.
// 0 on success (ConfigWrite then masked), -1 on a bad line or an unreadable file.
[[nodiscard]] int ExecuteHex(Context& ctx, uint8_t kind);

} // namespace mrk
