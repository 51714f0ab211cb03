#include "app/CommandGate.h"

#include "core/Context.h"

namespace mrk {

bool StopHere(Context& ctx) {
    auto& gate = ctx.commands.Gate;
    const StopCause cause = gate.Stop();
    if (cause == StopCause::None) return false;
    if (gate.SayStop())
        ctx.host.Okno(cause == StopCause::Operator  ? "Остановлено оператором."
                      : cause == StopCause::Signal ? "Остановлено: программу прервали (Ctrl+C или сигнал завершения)."
                                                    : "Остановлено: программа закрывается.");
    return true;
}

} // namespace mrk
