#pragma once
// The chip's own writes to its memory, as the running firmware makes them
// (TBLWT into the holding registers, then an EECON1 write or erase cycle),
// by the chip maker's flash programming rules:
// - TBLWT loads the holding register that TBLPTR's offset within the write
//   block selects (PIC18F4620: 64 of them, PIC18F452: 8). Holding registers not
//   loaded since the last write hold 0xFF (bench reading, as over ICSP).
// - WR with EEPGD = 1, CFGS = 0 and FREE = 1 erases the 64-byte row at TBLPTR to
//   0xFF; at 0x200000 the row is the ID locations. With FREE = 0 it programs the
//   holding registers into the write block at TBLPTR (bits are only cleared).
// - WR with CFGS = 1 writes the configuration byte at TBLPTR from its holding
//   register.
// - Write-protected blocks (WRTx, WRTB, WRTC) are left as they are.
// The processor stalls for the cycle's duration.
#include <cstdint>
#include <vector>

#include "sim/ModuleMemory.h"

namespace mrk::sim {

class FlashSelfWrite {
public:
    // EECON1 bits.
    static constexpr uint8_t kEepgd = 0x80, kCfgs = 0x40, kFree = 0x10, kWren = 0x04, kWr = 0x02;

    explicit FlashSelfWrite(ModuleMemory& memory);

    // TBLWT: TABLAT into the holding register for TBLPTR.
    void Load(uint32_t tblptr, uint8_t value);

    // WR set (after the unlock sequence, with WREN) with these EECON1 bits.
    struct Cycle {
        Nanos duration = 0;  // how long the processor stalls
        uint32_t first = 0;  // program flash bytes the cycle may have changed: [first, end)
        uint32_t end = 0;
    };
    Cycle Start(uint32_t tblptr, uint8_t eecon1);

    // A reset: holding registers back to 0xFF, the write count to 0.
    void Reset();
    // Program flash writes (not erases) since the last reset above the boot region.
    [[nodiscard]] int UpdateWrites() const { return updateWrites_; }

private:
    ModuleMemory& mem_;
    std::vector<uint8_t> holding_;
    int updateWrites_ = 0;
};

} // namespace mrk::sim
