#pragma once
// The "Cal CRC" check bytes: XOR of the update region's even (d0) and odd (d1) bytes.
#include <string>

#include "image/FirmwareImages.h"

namespace mrk {

struct XorCheck {
    unsigned d0, d1;
};
XorCheck UpdateXorCheck(const FirmwareImages& images, const TargetChip& chip);
// "d0=%x d1=%x", as the service label shows it.
std::string CalCrcText(const FirmwareImages& images, const TargetChip& chip);

} // namespace mrk
