#pragma once
// The firmware in the module's flash, executed instruction by instruction by
// gpsim's PIC18F452 / PIC18F4620: RB6 and RB7 wired to the programmer's PGC and
// PGD, MCLR deciding between reset and run, the bench's time driving the
// instruction cycles at the rate the configured oscillator gives. The
// configuration words as the chip holds them apply (oscillator, watchdog,
// protection); the firmware's own flash writes follow the chip's rules
// (FlashSelfWrite), not gpsim's.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/FlashSelfWrite.h"
#include "sim/ModuleProgram.h"

namespace mrk::sim {

enum class ChipModel;

class GpsimFirmware : public ModuleProgram {
public:
    GpsimFirmware(ChipModel chip, ModuleMemory& memory);
    ~GpsimFirmware() override;

    void Reset(Nanos t, const ProgrammerPins& pins) override;
    void Stop() override;
    void Advance(Nanos t) override;
    void Lines(Nanos t, const ProgrammerPins& pins) override;
    [[nodiscard]] std::optional<bool> Output(Nanos t) const override;
    [[nodiscard]] bool Running() const override { return running_; }
    // Update-region writes the firmware made since the last reset (one per link block).
    [[nodiscard]] int Blocks() const override { return flash_.UpdateWrites(); }
    Nanos FlashTime() const override { return flashTime_; }

    // What gpsim reported while the firmware ran (watchdog resets and the like).
    std::vector<std::string> Events() const override { return events_; }
    // Instruction cycles executed since construction.
    uint64_t Cycles() const { return cycles_; }
    // The byte address of the next instruction.
    uint32_t ProgramCounter() const;

    // The chip's own memory accesses, called by the processor's table
    // instructions and its EECON1 register.
    uint8_t TableRead(uint32_t tblptr) const;
    void TableWrite(uint32_t tblptr, uint8_t value);
    // Returns the instruction cycles the processor stalls.
    uint64_t StartWrite(uint32_t tblptr, uint8_t eecon1);

    struct Chip; // the borrowed gpsim processor

private:
    void SyncProgramMemory(uint32_t first, uint32_t end);
    void DriveInputs(const ProgrammerPins& pins);
    void Capture(const std::string& text);

    ChipModel chip_;
    ModuleMemory& mem_;
    FlashSelfWrite flash_;
    Chip* cpu_ = nullptr;
    bool running_ = false;
    bool poweredUp_ = false;
    Nanos cycleTime_ = 400;    // ns per instruction cycle
    Nanos startTime_ = 0;      // bench time of the last reset
    uint64_t startCycle_ = 0;  // gpsim's cycle counter then
    uint64_t cycles_ = 0;
    Nanos flashTime_ = 0;
    uint32_t dirtyFirst_ = 0, dirtyEnd_ = 0; // flash the firmware changed, not yet decoded again
    std::vector<std::string> events_;
};

} // namespace mrk::sim
