#pragma once
// Loading an Intel HEX file into the reference image.
#include "image/ImageLoad.h"

namespace mrk {

// Reads the HEX file of the given kind (the update file, or the boot loader of
// the chip) into BuffEt and ConfigWrite without clearing BuffEt first;
// configuration records are stored for both kinds.
// 0 on success (ConfigWrite then masked), -1 on a bad line or an unreadable file.
[[nodiscard]] int ExecuteHex(const ImageLoad& load, ImageKind kind);

} // namespace mrk
