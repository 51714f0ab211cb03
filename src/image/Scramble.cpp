#include "image/Scramble.h"

#include <algorithm>
#include <cstring>

namespace mrk {

UpdateRegion UpdateRegionOf(const TargetChip& chip) {
    const unsigned end = std::min<unsigned>(2u * chip.chipWords, 0x10000u);
    const unsigned first = std::min<unsigned>(2u * chip.bootWords, end);
    return {first, end};
}

void BuffEtToCry(FirmwareImages& images, const TargetChip& chip) {
    auto& key = images.ImageKey;
    auto& et = images.BuffEt;
    std::memcpy(key.data(), "velmarto", 8);
    const auto [first, end] = UpdateRegionOf(chip);

    uint8_t sumLo = 0, sumHi = 0;
    for (unsigned x = first; x < end; ++x) (x % 2 == 0 ? sumLo : sumHi) += et[x];

    unsigned k = 0;
    bool scramble = false;
    for (unsigned x = first; x < end; ++x) {
        if (x % 4 == 0) {
            scramble = false;
            for (unsigned g = x; g < x + 4 && g < end; ++g) scramble = scramble || et[g] != 0xFF;
        }
        if (scramble) {
            et[x] ^= key[k];
            // Each use turns that key byte right by one bit.
            key[k] = static_cast<uint8_t>(key[k] >> 1 | key[k] << 7);
        }
        k = (k + 1) % 8;
    }
    et[end + 1] = sumLo;
    et[end + 2] = sumHi;
}

} // namespace mrk
