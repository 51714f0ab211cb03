#pragma once
// A PIC18F452 or PIC18F4620 on the module, at the pin level (MCLR/VPP, PGC, PGD),
// modelled from the chip maker's published programming documents: ICSP programming
// mode with its timing, flash/ID/configuration memory with protection, and the
// module's boot loader when the boot region holds one.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
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

// A step of programming mode whose length the chip depends on, as it happened on
// its pins: a programming pulse (PGC held high on the 4th clock), or the wait of a
// row or bulk erase (from its start to the next clock, or to MCLR leaving VPP).
struct TimedStep {
    enum class Kind { ProgrammingPulse, RowErase, BulkErase };
    Kind kind = Kind::ProgrammingPulse;
    Nanos start = 0;
    Nanos length = 0;
    Nanos minimum = 0; // what the chip needs; shorter does nothing
};

// Faults of the module's boot loader, for exercising the host's error paths.
struct ModuleFaults {
    bool noBootLoader = false;      // the boot loader does not run, even with its marker present
    int stopAfterBlock = -1;        // >= 0: no ready signal after that many blocks (0: none after sync)
    bool stopFirstRunOnly = false;  // the stop above happens only in the first run after power-up
    double slowFlash = 1.0;         // multiplies the boot loader's flash erase/write times

    // Whether any of these is set: they act on the boot-loader model only, so an
    // executed firmware would silently ignore them.
    [[nodiscard]] bool Any() const { return noBootLoader || stopAfterBlock >= 0 || slowFlash != 1.0; }
};

// What runs when MCLR is released: the behavioural model of the module's boot
// loader, or whatever the flash holds, executed instruction by instruction in gpsim.
enum class ModuleFirmware { BootLoaderModel, Gpsim };

class VirtualModule : public PinTarget {
public:
    struct Options {
        ChipModel chip = ChipModel::PIC18F4620;
        uint8_t revision = 0; // DEVID1 bits 4..0
        ModuleFaults faults = {}; // of the behavioural boot loader
        ModuleFirmware firmware = ModuleFirmware::BootLoaderModel;
        size_t traceLimit = 1'000'000; // instructions kept in Trace(); older ones are dropped
    };
    explicit VirtualModule(const Options& opt);
    ~VirtualModule() override;

    void Drive(Nanos t, const ProgrammerPins& pins) override;
    [[nodiscard]] std::optional<bool> PgdDrive(Nanos t) override;
    // Lets simulated time reach t without a line change: erases and programming
    // pulses due by then complete, so that Peek shows their result.
    void Settle(Nanos t);

    ChipModel Chip() const;
    [[nodiscard]] bool InProgrammingMode() const;
    uint32_t Tblptr() const;
    // The most recent instructions latched since construction or the last ClearTrace()
    // (at most Options::traceLimit of them).
    const std::vector<IcspRecord>& Trace() const;
    void ClearTrace();
    // Every timed step since construction or the last ClearTrace(), oldest first.
    const std::vector<TimedStep>& TimedSteps() const;
    // Why the last attempt to enter programming mode failed, empty if it did not.
    const std::string& LastEntryProblem() const;

    // Memory as the chip holds it (flash, ID, configuration, device ID), by chip address.
    // Unmapped addresses read 0x00 and ignore writes; configuration keeps implemented bits only.
    uint8_t Peek(uint32_t address) const;
    void Poke(uint32_t address, uint8_t value);

    // The whole memory from / to an Intel HEX file (program from 0, ID under upper
    // address 0x0020, configuration under 0x0030; device ID saved under 0x003F and
    // ignored on load). A file that cannot be read or is damaged changes nothing;
    // `error` then says why.
    [[nodiscard]] bool LoadHex(const std::string& path, std::string& error);
    [[nodiscard]] bool SaveHex(const std::string& path, std::string& error) const;
    // The same from HEX text in memory (the bench's factory boot loader).
    [[nodiscard]] bool LoadHexText(std::string_view text, std::string& error);
    // The memory as SaveHex would write it (to tell whether a session changed it).
    std::string HexText() const;

    // The boot loader: running since the last reset, and blocks it accepted since then.
    // Executed firmware: running since the last reset, and the flash writes it made since then.
    [[nodiscard]] bool BootLoaderRunning() const;
    [[nodiscard]] int BootLoaderBlocks() const;
    // The boot loader's flash erase and write time since power-up.
    Nanos BootLoaderFlashTime() const;
    // Executed firmware only: what happened to the chip that the pins do not show
    // (watchdog resets, stack overflows, code that ran off the flash), oldest first.
    std::vector<std::string> FirmwareEvents() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace mrk::sim
