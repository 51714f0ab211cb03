#include "transport/DirectPort.h"

#include "core/Context.h"
#include "transport/IopermPort.h"
#include "transport/PpdevPort.h"

namespace mrk {

void PortOut(Context& ctx, uint16_t port, uint8_t value) {
    if (ctx.directPort.backend) ctx.directPort.backend->Out(port, value);
}

uint8_t PortIn(Context& ctx, uint16_t port) {
    return ctx.directPort.backend ? ctx.directPort.backend->In(port) : 0xFF;
}

void InstallGiveIo(Context& ctx) {
    auto& dp = ctx.directPort;
    dp.backend.reset();
    dp.openReport.clear();
    std::string why;
    auto opened = OpenPpdev(ctx.portProg.AdrLpt, why, dp.ppdev ? *dp.ppdev : KernelPpdev());
    dp.openReport = why;
    if (opened.port) {
        dp.backend = std::move(opened.port);
        return;
    }
    // Raw port I/O would fight the program that holds the port.
    if (opened.heldElsewhere) return;
    std::string whyRaw;
    if (auto p = OpenIopermPort(ctx.portProg.AdrLpt, whyRaw)) {
        dp.backend = std::move(p);
        dp.openReport += "\n" + whyRaw;
        return;
    }
    dp.openReport += "\n" + whyRaw;
}

void RemoveGiveIo(Context& ctx) {
    ctx.directPort.backend.reset();
}

void UsePortBackend(Context& ctx, std::unique_ptr<PortBackend> backend) {
    ctx.directPort.backend = std::move(backend);
    ctx.directPort.openReport = ctx.directPort.backend ? ctx.directPort.backend->Describe() : "";
}

} // namespace mrk
