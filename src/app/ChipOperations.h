#pragma once
// The commands on the chip as the station offers them to both front ends: the
// boot write, the program-memory read and compare, the erase, the configuration
// read and write, the ID read and write and the device-ID read. Each runs its
// chip routine once, says in the log what the window's command says there, and
// gives back how it ended, what it read and the text it shows. The window and
// the command line only present that: the window lists pages and fills its
// fields, the command line prints, writes its files and sets its exit code.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "config/ConfigWords.h"

namespace mrk {

struct Context;

enum class ChipResult {
    Done,           // it went through
    NotBegun,       // refused before the chip was touched; the message says why
    Failed,         // the chip does not hold or give what it should (a write that did not
                    // verify, memory that differs), or the programmer stopped answering
                    // in a write: the log says which
    ProgrammerLost, // the programmer stopped answering midway: the log says so
};

struct ChipOutcome {
    ChipResult result = ChipResult::Failed;
    // The command's verdict as the operator is shown it (the log's last word on it,
    // the service line, the configuration window's result text); empty when the
    // command shows nothing of its own, as the erase and WR ID.
    std::string message;
    [[nodiscard]] bool Ok() const { return result == ChipResult::Done; }
    explicit operator bool() const { return Ok(); }
};

// A program-memory read: the boot region, or the whole memory.
struct MemoryReadOutcome : ChipOutcome {
    uint32_t words = 0;     // words asked for, from word 0
    uint32_t wordsRead = 0; // words 0 .. wordsRead-1 came from the chip; the rest were not read
    std::vector<uint8_t> memory; // the words read, two bytes each (low byte first)
};

struct CompareOutcome : MemoryReadOutcome {
    unsigned differences = 0; // words that differ from the reference image (after a whole read)
};

struct ConfigReadOutcome : ChipOutcome {
    std::array<uint8_t, 14> bytes{}; // configuration bytes 0x300000 .. 0x30000D
    uint8_t devId1 = 0, devId2 = 0;
};

struct ConfigWriteOutcome : ChipOutcome {
    std::array<uint8_t, 14> readBack{}; // what the chip gave back after the write
};

struct IdReadOutcome : ChipOutcome {
    std::array<uint16_t, 4> words{}; // ID words 0..3; the words not read are 0
};

struct DevIdOutcome : ChipOutcome {
    uint8_t devId1 = 0, devId2 = 0;
};

// The boot region written from the loaded boot-loader image and verified; not
// begun without one. The window's log is cleared first.
[[nodiscard]] ChipOutcome WriteBootRegion(Context& ctx);
// The boot region (or the whole program memory) into the chip buffer, which the
// memory pages then show; a read that broke off keeps where it stopped.
[[nodiscard]] MemoryReadOutcome ReadProgramMemory(Context& ctx, bool whole);
// Read as ReadProgramMemory, then compared with the reference image, every
// difference and the verdict in a cleared log. Nothing is compared after a
// read that broke off.
[[nodiscard]] CompareOutcome CompareProgramMemory(Context& ctx, bool whole);
// The whole chip erased with its protection; the window's log is cleared at the end.
[[nodiscard]] ChipOutcome EraseWholeChip(Context& ctx);
[[nodiscard]] ConfigReadOutcome ReadConfiguration(Context& ctx);
// preset 0: the configuration as loaded; 1: without protection; 2: with code protection.
[[nodiscard]] ConfigWriteOutcome WriteConfiguration(Context& ctx, ConfigPreset preset);
[[nodiscard]] IdReadOutcome ReadIdentity(Context& ctx);
// ID words 1-3. newNumber: the words come from the user, not from the module's
// own last read, so the factory number in word 1 is reserved in the production
// journal first (NotBegun when it cannot be).
[[nodiscard]] ChipOutcome WriteIdentity(Context& ctx, uint16_t w1, uint16_t w2, uint16_t w3, bool newNumber);
[[nodiscard]] DevIdOutcome ReadDeviceId(Context& ctx);

} // namespace mrk
