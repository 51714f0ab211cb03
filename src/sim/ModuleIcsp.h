#pragma once
// The chip in ICSP programming mode: the serial shifter (4-bit command, 16-bit
// operand, LSB first, latched on PGC's falling edge), the command decoder, table
// reads and writes, and the programming, row-erase and bulk-erase timing.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/ModuleMemory.h"
#include "sim/VirtualModule.h"

namespace mrk::sim {

class ModuleIcsp {
public:
    ModuleIcsp(ModuleMemory& memory, ChipModel chip, size_t traceLimit);

    // MCLR reached VPP with PGC and PGD low.
    void Enter(Nanos t);
    // MCLR left VPP; what is still under way is lost.
    void Leave(Nanos t);
    bool Active() const { return active_; }

    // Completes programming and erases that are due by t.
    void Advance(Nanos t);
    // A PGC edge. ClockRise returns false when the clock comes too soon after entry,
    // which leaves programming mode (`problem` says why).
    bool ClockRise(Nanos t, std::string& problem);
    void ClockFall(Nanos t, bool pgd);
    // What the chip drives on PGD at t.
    std::optional<bool> Output(Nanos t) const;

    uint32_t Tblptr() const { return tblptr_; }
    const std::vector<IcspRecord>& Trace() const { return trace_; }
    void ClearTrace() { trace_.clear(); }

private:
    enum class Pending { None, Armed, Running };
    struct Drive {
        std::optional<bool> before, after;
        Nanos validFrom = 0;
    };

    void Complete(Nanos t);
    void CoreInstruction(uint16_t word);
    void TableRead(Nanos t);
    void TableWrite(uint16_t operand, bool startProgramming);
    void ProgramNow();
    void SetOutput(Nanos t, std::optional<bool> value);
    void Record(const IcspRecord& r);

    ModuleMemory& mem_;
    ChipModel chip_;
    size_t traceLimit_;
    std::vector<IcspRecord> trace_;

    bool active_ = false;
    Nanos entryTime_ = 0;
    bool clocked_ = false;
    bool pgcHigh_ = false;
    Nanos riseTime_ = 0;

    // Shifter: bit position 0..3 command, 4..19 operand.
    int pos_ = 0;
    uint8_t command_ = 0;
    uint16_t operand_ = 0;
    uint32_t tblptrBefore_ = 0;
    Drive out_;

    // Chip registers.
    uint8_t w_ = 0;
    uint32_t tblptr_ = 0;
    uint8_t eecon1_ = 0;
    uint8_t tablat_ = 0;
    std::vector<uint8_t> buffer_;

    // A start-programming command waits for the next command's 4th clock to be held high.
    Pending program_ = Pending::None;
    bool programConfig_ = false;
    uint32_t programAddress_ = 0; // block start, or the configuration byte
    uint8_t programConfigValue_ = 0;
    Nanos pulseStart_ = 0;

    Pending rowErase_ = Pending::None;
    uint32_t rowAddress_ = 0;
    Nanos rowStart_ = 0;

    // Bulk erase: armed by the erase register, then one instruction, then the next
    // command's 4th clock starts it.
    Pending bulkErase_ = Pending::None;
    bool bulkAfterNop_ = false;
    Nanos bulkStart_ = 0;
};

} // namespace mrk::sim
