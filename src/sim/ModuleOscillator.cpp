#include "sim/ModuleOscillator.h"

#include "sim/VirtualModule.h"

namespace mrk::sim {

double OscillatorHz(ChipModel chip, const std::array<uint8_t, kConfigSize>& config) {
    const uint8_t config1h = config[1];
    if (chip == ChipModel::PIC18F452) {
        const uint8_t fosc = config1h & 0x07;
        return fosc == 0x06 ? 4 * kModuleCrystalHz : kModuleCrystalHz; // 110: HS with PLL
    }
    const uint8_t fosc = config1h & 0x0F;
    if (fosc == 0x06) return 4 * kModuleCrystalHz;      // 0110: HS with PLL
    if (fosc == 0x08 || fosc == 0x09) return 1e6;       // 100x: internal oscillator block
    return kModuleCrystalHz;
}

} // namespace mrk::sim
