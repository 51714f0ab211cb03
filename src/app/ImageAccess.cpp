#include "app/ImageAccess.h"

#include "core/Context.h"
#include "icsp/ConfigId.h"

namespace mrk {

TargetChip TargetChipOf(const Context& ctx) {
    return {ctx.Is4620(), ctx.prog.ChipWords, ctx.prog.BootWords};
}

ImageLoad ImageLoadOf(Context& ctx) {
    return {ctx.image, TargetChipOf(ctx), ctx.host};
}

ConfigAccess ConfigAccessOf(Context& ctx) {
    return {ctx.image.ConfigWrite, ctx.Is4620(), ctx.prog.ConfigStaticText1, [&ctx] { return WriteConfigWords(ctx.line(), ctx.prog, ctx.host, ctx.image.ConfigWrite); },
            [&ctx]() -> std::optional<ConfigReadout> {
                if (!ReadConfigWords(ctx.line(), ctx.prog, ctx.host)) return std::nullopt;
                return ConfigReadout{ctx.prog.ConfigRead, ctx.prog.DevId1, ctx.prog.DevId2};
            }};
}

} // namespace mrk
