#pragma once
// The module's clock: a 10 MHz crystal on OSC1/OSC2, which the demo boot loader
// is timed for. The oscillator mode in CONFIG1H decides what the chip makes of it.
#include <array>
#include <cstdint>

#include "sim/ModuleMemory.h"

namespace mrk::sim {

constexpr double kModuleCrystalHz = 10e6;

// The chip's oscillator frequency (Fosc) under this configuration; an
// instruction cycle is four of its periods.
// - HS with PLL: four times the crystal.
// - PIC18F4620's internal oscillator block: 1 MHz, its frequency after a reset.
// - Every other mode runs at the crystal (bench reading: the RC and EC modes of
//   an erased chip are taken to be clocked by the crystal through OSC1 too).
double OscillatorHz(ChipModel chip, const std::array<uint8_t, kConfigSize>& config);

} // namespace mrk::sim
