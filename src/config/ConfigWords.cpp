#include "config/ConfigWords.h"


namespace mrk {

bool WriteWordConfig(const ConfigAccess& access, ConfigPreset preset) {
    auto& cw = access.configWrite;
    const uint8_t saved8 = cw[8], saved9 = cw[9];
    const bool protection = preset == ConfigPreset::CodeProtection;
    if (preset == ConfigPreset::ProtectionOff) {
        cw[8] = 0x0F;
        cw[9] = 0xC0;
        cw[10] = 0x0F;
        cw[11] = 0xE0;
        cw[13] = 0x40;
    } else if (protection) {
        cw[8] = 0x00;
        cw[9] = 0x80;
        cw[11] = 0xA0;
        cw[13] = 0x00;
    }
    if (!access.writeChip()) {
        access.resultText = protection ? "Ошибка записи битов защиты" : "Ошибка записи конфигурации";
        return false;
    }
    access.resultText = protection ? "Защита OK" : "Конфигурация OK";
    cw[8] = saved8;
    cw[9] = saved9;
    return true;
}

std::string ByteStrToBin(uint8_t value) {
    std::string s(8, '0');
    for (int b = 0; b < 8; ++b)
        if (value & (0x80 >> b)) s[static_cast<size_t>(b)] = '1';
    return s;
}

} // namespace mrk
