#include "image/CalCrc.h"

#include "core/Format.h"
#include "image/Scramble.h"

namespace mrk {

XorCheck UpdateXorCheck(const FirmwareImages& images, const TargetChip& chip) {
    const auto [first, end] = UpdateRegionOf(chip);
    unsigned d[2] = {0, 0};
    for (unsigned x = first; x < end; ++x) d[x % 2] ^= images.BuffEt[x];
    return {d[0], d[1]};
}

std::string CalCrcText(const FirmwareImages& images, const TargetChip& chip) {
    const XorCheck c = UpdateXorCheck(images, chip);
    return Format("d0=%X d1=%X", c.d0, c.d1);
}

} // namespace mrk
