#pragma once

namespace mrk {

struct Context;

// Scrambles the update region of BuffEt with the rolling key "velmarto" (erased
// 4-byte groups stay as they are) and stores the even and odd byte sums of the
// plain region behind the image, at 2*ChipWords+1 and +2.
void BuffEtToCry(Context& ctx);

// The update region in bytes: [2*BootWords, 2*ChipWords), within the 64 KB space.
struct UpdateRegion {
    unsigned first, end;
};
UpdateRegion UpdateRegionOf(const Context& ctx);

} // namespace mrk
