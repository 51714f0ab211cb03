#pragma once
// The chip in ICSP programming mode: the serial shifter (4-bit command, 16-bit
// operand, LSB first, latched on PGC's falling edge), the command decoder, table
// reads and writes, and the programming, row-erase and bulk-erase timing.
// Readings where the chip documents leave room:
// - the level latched is the one PGD had just before the edge (a data change in
//   the same instant as the edge misses its setup time);
// - a programming pulse shorter than P9 programs nothing; the write happens at the
//   end of P9 while PGC is still high;
// - a row erase starts at the rising edge of the 4th clock of the command after
//   BSF EECON1,WR, a bulk erase at the falling edge of the 4th clock of the
//   command after the one that follows the erase-register write; either is lost
//   (nothing erased) when PGC rises again, or MCLR leaves VPP, before it is done;
// - table writes to 0x3C0005/0x3C0006 are accepted and have no effect;
// - a table read drives the complement of bit 0 from the 8th operand clock's
//   falling edge to the 9th clock's rising edge, then bit j 10 ns after the rising
//   edge of clock 9 + j, and lets go at the next command's first rising edge.
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
    [[nodiscard]] bool Active() const { return active_; }

    // Completes programming and erases that are due by t.
    void Advance(Nanos t);
    // A PGC edge. ClockRise returns false when the clock comes too soon after entry,
    // which leaves programming mode (`problem` says why).
    [[nodiscard]] bool ClockRise(Nanos t, std::string& problem);
    void ClockFall(Nanos t, bool pgd);
    // What the chip drives on PGD at t.
    [[nodiscard]] std::optional<bool> Output(Nanos t) const;

    uint32_t Tblptr() const { return tblptr_; }
    const std::vector<IcspRecord>& Trace() const { return trace_; }
    const std::vector<TimedStep>& TimedSteps() const { return steps_; }
    void ClearTrace() {
        trace_.clear();
        steps_.clear();
    }

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
    // The timed step under way, if any, ends at t.
    void EndStep(Nanos t);

    ModuleMemory& mem_;
    ChipModel chip_;
    size_t traceLimit_;
    std::vector<IcspRecord> trace_;
    std::vector<TimedStep> steps_;
    std::optional<TimedStep> step_; // the one under way

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
