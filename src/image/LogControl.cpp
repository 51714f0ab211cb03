#include "image/LogControl.h"

#include "core/Context.h"

namespace mrk {

void ClearOkno(Context& ctx) {
    if (auto* log = dynamic_cast<LogControl*>(&ctx.host)) log->ClearLog();
}

void HoldOknoRepaint(Context& ctx, bool hold) {
    if (auto* log = dynamic_cast<LogControl*>(&ctx.host)) log->HoldLogRepaint(hold);
}

} // namespace mrk
