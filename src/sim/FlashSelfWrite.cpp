#include "sim/FlashSelfWrite.h"

#include <algorithm>

namespace mrk::sim {

FlashSelfWrite::FlashSelfWrite(ModuleMemory& memory)
    : mem_(memory), holding_(memory.Traits().writeBuffer, 0xFF) {}

void FlashSelfWrite::Load(uint32_t tblptr, uint8_t value) { holding_[tblptr % holding_.size()] = value; }

void FlashSelfWrite::Reset() {
    std::fill(holding_.begin(), holding_.end(), uint8_t{0xFF});
    updateWrites_ = 0;
}

FlashSelfWrite::Cycle FlashSelfWrite::Start(uint32_t tblptr, uint8_t eecon1) {
    const ChipTraits& chip = mem_.Traits();
    Cycle c;
    if (eecon1 & kCfgs) {
        // Write-protected configuration stays as it was, as on the chip.
        (void)mem_.WriteConfig(tblptr, holding_[tblptr % holding_.size()]);
        c.duration = chip.selfWriteTime;
    } else if (eecon1 & kFree) {
        const uint32_t row = tblptr - tblptr % kRowSize;
        if (ModuleMemory::IsId(tblptr)) mem_.EraseId();
        else if (mem_.EraseRow(row, Writer::Self)) c = {0, row, row + kRowSize};
        c.duration = chip.selfEraseTime;
    } else {
        const uint32_t block = tblptr - tblptr % chip.writeBuffer;
        mem_.Program(block, holding_.data(), holding_.size(), Writer::Self);
        if (mem_.IsFlash(block)) {
            c.first = block;
            c.end = std::min(block + chip.writeBuffer, chip.flashSize);
            if (block >= chip.loaderEnd) ++updateWrites_;
        }
        c.duration = chip.selfWriteTime;
        std::fill(holding_.begin(), holding_.end(), uint8_t{0xFF});
    }
    return c;
}

} // namespace mrk::sim
