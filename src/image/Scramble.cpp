#include "image/Scramble.h"

#include <algorithm>
#include <cstring>

#include "core/Context.h"

namespace mrk {

UpdateRegion UpdateRegionOf(const Context& ctx) {
    const unsigned end = std::min<unsigned>(2u * ctx.prog.ChipWords, 0x10000u);
    const unsigned first = std::min<unsigned>(2u * ctx.prog.BootWords, end);
    return {first, end};
}

void BuffEtToCry(Context& ctx) {
    auto& key = ctx.image.ImageKey;
    auto& et = ctx.image.BuffEt;
    std::memcpy(key.data(), "velmarto", 8);
    const auto [first, end] = UpdateRegionOf(ctx);

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
