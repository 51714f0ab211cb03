#include "transport/DirectPort.h"

#include <unistd.h>

#include "core/Context.h"
#include "transport/IopermPort.h"
#include "transport/PpdevPort.h"

namespace mrk {

namespace {

// The port address was changed (parameters window, settings file): reopen there.
inline void FollowAdrLpt(Context& ctx) {
    const auto& dp = ctx.directPort;
    if (dp.followsAdrLpt && dp.openedFor != ctx.portProg.AdrLpt) InstallGiveIo(ctx);
}

} // namespace

void PortOut(Context& ctx, uint16_t port, uint8_t value) {
    FollowAdrLpt(ctx);
    if (ctx.directPort.backend) ctx.directPort.backend->Out(port, value);
}

uint8_t PortIn(Context& ctx, uint16_t port) {
    FollowAdrLpt(ctx);
    return ctx.directPort.backend ? ctx.directPort.backend->In(port) : 0xFF;
}

void InstallGiveIo(Context& ctx) {
    auto& dp = ctx.directPort;
    dp.backend.reset(); // the old port is released before another is claimed
    dp.openReport.clear();
    dp.followsAdrLpt = true;
    dp.openedFor = ctx.portProg.AdrLpt;
    std::string why;
    if (dp.openPort) {
        dp.backend = dp.openPort(ctx.portProg.AdrLpt, why);
        dp.openReport = why;
        return;
    }
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
    // Raw port I/O is root's fallback: for anyone else its refusal says nothing
    // the ppdev line does not, and would hide what to do behind a system error.
    if (geteuid() == 0) dp.openReport += "\n" + whyRaw;
}

void RemoveGiveIo(Context& ctx) {
    ctx.directPort.backend.reset();
    ctx.directPort.followsAdrLpt = false;
}

void UsePortBackend(Context& ctx, std::unique_ptr<PortBackend> backend) {
    ctx.directPort.followsAdrLpt = false;
    ctx.directPort.backend = std::move(backend);
    ctx.directPort.openReport = ctx.directPort.backend ? ctx.directPort.backend->Describe() : "";
}

void UsePortOpener(Context& ctx, PortOpener opener) {
    ctx.directPort.openPort = std::move(opener);
    InstallGiveIo(ctx);
}

} // namespace mrk
