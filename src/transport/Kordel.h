#pragma once
// The Kordel programmer on the parallel port: the line operations act on the
// port at once, paced by the programmer's delay line (a request written, its
// echo read back). It owns the port and the line state it keeps.
#include <cstdint>
#include <memory>
#include <optional>

#include "transport/DirectPortVars.h"
#include "transport/Line.h"
#include "transport/PortBackend.h"
#include "transport/PortProgVars.h"

namespace mrk {

// Reads per handshake phase before the phase gives up.
constexpr int kHandshakePhaseReads = 1201;

class Kordel : public Line {
public:
    PortProgVars portProg;     // line state: port address, data-register image, echo answers
    DirectPortVars directPort; // port access

    // The line. A delay ends early, clearing ProgAnswered, at the first echo
    // cycle the programmer does not answer. GetDat has no echo of its own: it
    // is no answer when the last echo cycle of the line went unanswered (the
    // status input of a port with no Kordel on it still reads as a level).
    [[nodiscard]] bool SetVpp(uint8_t on) override;
    void SetClk(uint8_t level) override;
    void SetDat(uint8_t level) override;
    [[nodiscard]] LineLevel GetDat() override;
    [[nodiscard]] bool ClkPulse() override;
    [[nodiscard]] bool Handshake() override;
    [[nodiscard]] bool Delay(uint16_t n) override;

    // Delay-line request and echo (1: the echo is there); no answer when the
    // status register could not be read.
    void WrZad(uint8_t level);
    [[nodiscard]] std::optional<uint8_t> RdZad();

    // One byte-wide output/input instruction. Without port access (or when the
    // port could not be read) an input brings nothing back and an output goes nowhere.
    void PortOut(uint16_t port, uint8_t value);
    [[nodiscard]] std::optional<uint8_t> PortIn(uint16_t port);

    // Start-up step: obtain port access for the port at AdrLpt. On Linux this is
    // "open and claim /dev/parportN whose base is AdrLpt", else raw ioperm on x86.
    // Silent: what happened is kept in directPort.openReport. The port follows
    // AdrLpt: the first access after a change opens the port at the new address.
    void InstallGiveIo();
    // Shut-down step: release the port.
    void RemoveGiveIo();
    // Puts a given backend in place (the virtual bench, tests). It sees every
    // address, as the I/O bus does, so it needs no reopening when AdrLpt changes.
    void UsePortBackend(std::unique_ptr<PortBackend> backend);
    // Replaces how InstallGiveIo opens the port at a base address (a bench with
    // its ports at given addresses, tests), then opens the one at AdrLpt.
    void UsePortOpener(PortOpener opener);

private:
    void FollowAdrLpt();
    void WriteShadow();
    void SetShadowBit(uint8_t bit, bool on);
    bool WaitEcho(uint8_t want);
    bool EchoCycle();
};

} // namespace mrk
