#include "windows/TRes_timer.h"

#include "windows/TProg12.h"

namespace mrk::gui {

TRes_timer::TRes_timer(TProg12& main) : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), main_(main) {
    setObjectName(QStringLiteral("Res_timer"));
    setWindowTitle(QStringLiteral("Res_timer"));
    setFixedSize(104, 28);
}

uint32_t TRes_timer::TickCount() const {
    return main_.ctx().TickMs();
}

} // namespace mrk::gui
