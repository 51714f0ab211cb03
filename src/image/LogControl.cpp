#include "image/LogControl.h"

#include "core/Host.h"

namespace mrk {

void ClearOkno(Host& host) {
    host.ClearLog();
}

void HoldOknoRepaint(Host& host, bool hold) {
    host.HoldLogRepaint(hold);
}

} // namespace mrk
