#pragma once
// A PIC18F452 or PIC18F4620 on the module, at the pin level (MCLR/VPP, PGC, PGD),
// modelled from the chip maker's programming specifications.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/Pins.h"

namespace mrk::sim {

enum class ChipModel { PIC18F452, PIC18F4620 };

// One ICSP instruction as the chip latched it.
struct IcspRecord {
    Nanos t = 0;              // time of the last operand clock's falling edge
    uint8_t command = 0;      // 4-bit command
    uint16_t operand = 0;     // 16-bit operand as latched (for table reads: the byte shifted out)
    uint32_t tblptrBefore = 0;
    uint32_t tblptrAfter = 0;
};

class VirtualModule : public PinTarget {
public:
    struct Options {
        ChipModel chip = ChipModel::PIC18F4620;
        uint8_t revision = 0; // DEVID1 bits 4..0
    };
    explicit VirtualModule(const Options& opt);
    ~VirtualModule() override;

    void Drive(Nanos t, const ProgrammerPins& pins) override;
    std::optional<bool> PgdDrive(Nanos t) override;

    ChipModel Chip() const;
    bool InProgrammingMode() const;
    uint32_t Tblptr() const;
    // Every instruction latched since construction or the last ClearTrace().
    const std::vector<IcspRecord>& Trace() const;
    void ClearTrace();
    // Why the last attempt to enter programming mode failed, empty if it did not.
    const std::string& LastEntryProblem() const;

    // Memory as the chip holds it (flash, ID, configuration, device ID), by chip address.
    uint8_t Peek(uint32_t address) const;
    void Poke(uint32_t address, uint8_t value);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace mrk::sim
