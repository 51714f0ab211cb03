// The Kordel's port access: the backend that executes the port instructions,
// opened for the port at AdrLpt and reopened when AdrLpt changes.
#include <unistd.h>

#include "transport/IopermPort.h"
#include "transport/Kordel.h"
#include "transport/PpdevPort.h"

namespace mrk {

// The port address was changed (parameters window, settings file): reopen there.
void Kordel::FollowAdrLpt() {
    if (directPort.followsAdrLpt && directPort.openedFor != portProg.AdrLpt) InstallGiveIo();
}

void Kordel::PortOut(uint16_t port, uint8_t value) {
    FollowAdrLpt();
    if (directPort.backend) directPort.backend->Out(port, value);
}

std::optional<uint8_t> Kordel::PortIn(uint16_t port) {
    FollowAdrLpt();
    if (!directPort.backend) return std::nullopt;
    return directPort.backend->In(port);
}

void Kordel::InstallGiveIo() {
    auto& dp = directPort;
    const uint16_t adr = portProg.AdrLpt;
    dp.backend.reset(); // the old port is released before another is claimed
    dp.openReport.clear();
    dp.followsAdrLpt = true;
    dp.openedFor = adr;
    std::string why;
    if (dp.openPort) {
        dp.backend = dp.openPort(adr, why);
        dp.openReport = why;
        return;
    }
    auto opened = OpenPpdev(adr, why, dp.ppdev ? *dp.ppdev : KernelPpdev());
    dp.openReport = why;
    if (opened.port) {
        dp.backend = std::move(opened.port);
        return;
    }
    // Raw port I/O would fight the program that holds the port.
    if (opened.heldElsewhere) return;
    std::string whyRaw;
    if (auto p = OpenIopermPort(adr, whyRaw)) {
        dp.backend = std::move(p);
        dp.openReport += "\n" + whyRaw;
        return;
    }
    // Raw port I/O is root's fallback: for anyone else its refusal says nothing
    // the ppdev line does not, and would hide what to do behind a system error.
    if (geteuid() == 0) dp.openReport += "\n" + whyRaw;
}

void Kordel::RemoveGiveIo() {
    directPort.backend.reset();
    directPort.followsAdrLpt = false;
}

void Kordel::UsePortBackend(std::unique_ptr<PortBackend> backend) {
    directPort.followsAdrLpt = false;
    directPort.backend = std::move(backend);
    directPort.openReport = directPort.backend ? directPort.backend->Describe() : "";
}

void Kordel::UsePortOpener(PortOpener opener) {
    directPort.openPort = std::move(opener);
    InstallGiveIo();
}

} // namespace mrk
