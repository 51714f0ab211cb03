#pragma once
// The module's firmware executed by gpsim lives in a plugin (mrkprog-gpsim.so),
// loaded the first time a bench asks for it: a station that never executes
// firmware needs neither gpsim nor its GTK libraries.
#include <memory>
#include <string>

#include "sim/ModuleProgram.h"

namespace mrk::sim {

enum class ChipModel;
class ModuleMemory;

// Why executed firmware cannot run here (gpsim or the plugin missing), in the
// operator's words; empty when the plugin is loaded and ready.
std::string ExecutedFirmwareProblem();

// The firmware of the module's flash, executed; null when ExecutedFirmwareProblem() is not empty.
std::unique_ptr<ModuleProgram> MakeExecutedFirmware(ChipModel chip, ModuleMemory& memory);

// The plugin's one entry point and the version of the interface both sides were built with.
inline constexpr int kExecutedFirmwareAbi = 1;
inline constexpr const char* kExecutedFirmwareEntry = "mrk_make_executed_firmware";
using ExecutedFirmwareFactory = ModuleProgram* (*)(int abi, int chip, ModuleMemory* memory);

} // namespace mrk::sim
