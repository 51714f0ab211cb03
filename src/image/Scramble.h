#pragma once
#include "image/FirmwareImages.h"

namespace mrk {

// Scrambles the update region of BuffEt with the rolling key "velmarto" (erased
// 4-byte groups stay as they are) and stores the even and odd byte sums of the
// plain region behind the image, at 2*chipWords+1 and +2.
void BuffEtToCry(FirmwareImages& images, const TargetChip& chip);

// The update region in bytes: [2*bootWords, 2*chipWords), within the 64 KB space.
struct UpdateRegion {
    unsigned first, end;
};
UpdateRegion UpdateRegionOf(const TargetChip& chip);

} // namespace mrk
