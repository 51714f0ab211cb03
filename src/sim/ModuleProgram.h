#pragma once
// What the chip runs while MCLR is at VDD: the behavioural model of the
// module's boot loader, or the firmware in its flash executed instruction by
// instruction. Either sees only the chip's pins and its memory.
#include <optional>
#include <string>
#include <vector>

#include "sim/Pins.h"

namespace mrk::sim {

class ModuleProgram {
public:
    virtual ~ModuleProgram() = default;
    // MCLR released to VDD at t, the programmer's lines as given: the chip starts from reset.
    virtual void Reset(Nanos t, const ProgrammerPins& pins) = 0;
    // MCLR pulled low or raised to VPP: the program stops and releases its pins.
    virtual void Stop() = 0;
    // Lets the program run up to t.
    virtual void Advance(Nanos t) = 0;
    // The programmer's lines changed at t (MCLR stayed at VDD).
    virtual void Lines(Nanos t, const ProgrammerPins& pins) = 0;
    // What the chip drives on PGD (RB7) at t, nothing when the pin is an input.
    [[nodiscard]] virtual std::optional<bool> Output(Nanos t) const = 0;
    // The boot loader runs since the last reset, and the update blocks it wrote.
    [[nodiscard]] virtual bool Running() const = 0;
    [[nodiscard]] virtual int Blocks() const = 0;
    // Erase and write time spent on the flash since power-up.
    virtual Nanos FlashTime() const = 0;
    // What happened to the chip that the pins do not show (executed firmware: a watchdog reset).
    virtual std::vector<std::string> Events() const { return {}; }
};

} // namespace mrk::sim
