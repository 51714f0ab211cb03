#include "image/CalCrc.h"

#include "core/Context.h"
#include "core/Format.h"
#include "image/Scramble.h"

namespace mrk {

XorCheck UpdateXorCheck(const Context& ctx) {
    const auto [first, end] = UpdateRegionOf(ctx);
    unsigned d[2] = {0, 0};
    for (unsigned x = first; x < end; ++x) d[x % 2] ^= ctx.image.BuffEt[x];
    return {d[0], d[1]};
}

std::string CalCrcText(const Context& ctx) {
    const XorCheck c = UpdateXorCheck(ctx);
    return Format("d0=%X d1=%X", c.d0, c.d1);
}

} // namespace mrk
