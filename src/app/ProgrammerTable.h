#pragma once
// Every way the station reaches a programmer, in one table: the Kordel on the
// parallel port and the Surtan on USB through their real drivers, and the
// virtual bench's two programmers listed beside them as programmers of their own.
#include <optional>
#include <string>
#include <vector>

#include "sim/Bench.h"

namespace mrk {

struct Context;

// The wire a programmer hangs on.
enum class ProgrammerWire { Lpt, Usb };

struct ProgrammerEntry {
    const char* name; // as the options spell it
    ProgrammerWire wire;
    const char* help;
    // Real hardware: puts the driver in place (and InstallGiveIo's counterpart
    // releases it at close). Null for the bench's programmers.
    void (*install)(Context& ctx);
    // The bench's programmers: the bench that holds them.
    std::optional<sim::BenchKind> bench;
};

const std::vector<ProgrammerEntry>& ProgrammerTable();
// The entry of that name, null when there is none.
const ProgrammerEntry* FindProgrammer(const std::string& name);
// The names of the bench's programmers, or of the real USB drivers: the values
// --bench and --usb-driver take.
std::vector<std::string> BenchProgrammerNames();
std::vector<std::string> UsbDriverNames();

// How the bench's module runs what its flash holds.
struct ModuleFirmwareEntry {
    const char* name; // as --module-firmware spells it
    const char* help;
    // Sets the bench up for it.
    void (*apply)(sim::BenchOptions& bench);
};
const std::vector<ModuleFirmwareEntry>& ModuleFirmwareTable();
const ModuleFirmwareEntry* FindModuleFirmware(const std::string& name);
// The values --module-firmware takes.
std::vector<std::string> ModuleFirmwareNames();

} // namespace mrk
