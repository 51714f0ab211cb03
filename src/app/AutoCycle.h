#pragma once
// The arithmetic of the automatic cycle (the cycle itself is Avtom_Prog_PClick
// in MainCommands.h).
#include <cstdint>
#include <string>

namespace mrk {

// How the automatic cycle ended; the front ends show it (the indicator "OK" / "X",
// the exit code) and the journal has been told.
enum class CycleResult {
    Passed,  // every step that decides the module passed: "OK"
    Failed,  // a step failed, or the images did not load: "X"
    Stopped, // stopped at a step boundary: "X"
    Refused, // never started: no or a wrong factory number, or the journal would not take it
};

// The factory-number field as a number: a decimal integer from 1 to 65535, or 0
// when the text is not one or does not fit the 16 bits the module is stamped with.
uint16_t FactoryNumber(const std::string& text);

// ModuleNumber for a run: bits 24-31 kept, 16-23 ConfigChip's low byte, 0-15 the number.
uint32_t CycleModuleNumber(uint32_t moduleNumber, uint16_t configChip, uint16_t factoryNumber);

} // namespace mrk
