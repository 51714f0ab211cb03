#include "image/LogControl.h"

#include "core/Context.h"

namespace mrk {

void ClearOkno(Context& ctx) {
    ctx.host.ClearLog();
}

void HoldOknoRepaint(Context& ctx, bool hold) {
    ctx.host.HoldLogRepaint(hold);
}

} // namespace mrk
