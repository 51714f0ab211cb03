#pragma once
// The module's boot loader, as its firmware behaves on the two programming lines
// after a reset. It is present when the boot-loader region holds the marker
// "MRK-BOOT" (eight ASCII bytes anywhere below the update region); the module's
// boot-loader firmware carries that marker for the bench to find.
//
// The link, seen from the chip (RB6 = PGC input, RB7 = PGD):
// - Bits are sampled on PGD at each rising edge of PGC; the bit is the PGD level
//   (high = 1: the programmer releases PGD for a 1 and pulls it low for a 0).
//   Bytes are 8 bits, least significant first, with no framing. Each bit's clock
//   must fall again before the next bit counts.
// - After reset the loader slides over the bit stream until it has seen the eight
//   bytes 0x55..0x5C in order.
// - Right after the synchronisation, before any row is erased, it rewrites the ID
//   locations with ID word 0 complemented (so it no longer holds the sums of an
//   earlier update, whatever they were) and ID words 1..3 as they were: the ID
//   row is erased at once and written back at the end of the erase/write time.
// - Ready: once it can take a block, the loader pulls PGD low while PGC is high
//   (after the clock of the last bit it received has fallen). The falling edge of
//   PGC that ends such a high phase ends the ready signal: PGD is released and the
//   following rising edges carry the next block.
// - Blocks are the chip's write size (PIC18F4620 64 bytes, PIC18F452 8 bytes) from
//   the start of the update region on. Each block is descrambled (groups of four
//   0xFF bytes are erased and stay so; other bytes are XORed with the rolling key
//   "velmarto", key byte (address - start) mod 8, each key byte rotated right by one
//   bit after every use), then its row is erased and written. The loader is busy for
//   the chip's erase/write time, then signals ready again.
// - After the block that ends the program memory it sums the update region as it
//   now stands in flash (low byte: bytes at even addresses, high byte: odd ones,
//   modulo 256), erases the ID locations and writes the sums as ID word 0 with ID
//   words 1..3 as they were, and signals ready a last time. Then the application
//   runs and the loader leaves the lines alone.
// - Write-protected blocks (WRTx / WRTB) are neither erased nor written.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/ModuleMemory.h"
#include "sim/ModuleProgram.h"
#include "sim/VirtualModule.h"

namespace mrk::sim {

class ModuleBootLoader : public ModuleProgram {
public:
    ModuleBootLoader(ModuleMemory& memory, const ModuleFaults& faults);

    // The chip comes out of reset at t (MCLR at VDD) with PGC at the given level.
    void Reset(Nanos t, bool pgcHigh);
    void Reset(Nanos t, const ProgrammerPins& pins) override;
    // The chip is held in reset or taken into programming mode: the program stops.
    void Stop() override;
    [[nodiscard]] bool Running() const override { return state_ != State::Off && state_ != State::Done; }
    [[nodiscard]] int Blocks() const override { return blocks_; }
    // Erase and write time the loader has spent on its flash since power-up.
    Nanos FlashTime() const override { return flashTime_; }

    // Finishes the flash work that is due by t.
    void Advance(Nanos t) override;
    // PGC edges, with PGD as the wire held it before the edge.
    void Lines(Nanos t, const ProgrammerPins& pins) override;
    void ClockRise(Nanos t, bool pgd);
    void ClockFall(Nanos t);
    [[nodiscard]] std::optional<bool> Output(Nanos t) const override;

private:
    enum class State { Off, Sync, Ready, Receive, Silent, Done };

    [[nodiscard]] bool HasMarker() const;
    void BlockReceived(Nanos t);
    void WriteBlock();
    void InvalidateSums(Nanos t);
    Nanos Scaled(Nanos d) const;

    ModuleMemory& mem_;
    ModuleFaults faults_;
    ProgrammerPins lines_;
    int runs_ = 0;

    State state_ = State::Off;
    bool pgcHigh_ = false;
    bool bitTaken_ = false;   // a bit was sampled on this clock; wait for it to fall
    uint64_t sync_ = 0;
    int blocks_ = 0;
    uint32_t address_ = 0;    // start of the block being received
    std::vector<uint8_t> block_;
    int bitCount_ = 0;
    std::array<uint8_t, 8> key_{};
    bool lastBlock_ = false;

    // Flash work after a block: done at busyUntil_, then ready.
    bool writePending_ = false;
    // The ID rewrite after the synchronisation: the row is erased, these bytes
    // are written at busyUntil_.
    bool idWritePending_ = false;
    std::array<uint8_t, kIdSize> idWrite_{};
    Nanos busyUntil_ = 0;
    Nanos flashTime_ = 0;
    bool readyHigh_ = false;  // PGC high while ready: the loader pulls PGD low
};

} // namespace mrk::sim
