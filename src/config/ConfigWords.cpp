#include "config/ConfigWords.h"

#include "core/Context.h"
#include "icsp/ConfigId.h"

namespace mrk {

bool WriteWordConfig(Context& ctx, int kind) {
    auto& cw = ctx.image.ConfigWrite;
    const uint8_t saved8 = cw[8], saved9 = cw[9];
    if (kind == 1) {
        cw[8] = 0x0F;
        cw[9] = 0xC0;
        cw[10] = 0x0F;
        cw[11] = 0xE0;
        cw[13] = 0x40;
    } else if (kind == 2) {
        cw[8] = 0x00;
        cw[9] = 0x80;
        cw[11] = 0xA0;
        cw[13] = 0x00;
    }
    if (!WriteConfigWords(ctx.line(), ctx.prog, ctx.host, ctx.image.ConfigWrite)) {
        ctx.prog.ConfigStaticText1 = kind == 2 ? "Ошибка записи битов защиты" : "Ошибка записи конфигурации";
        return false;
    }
    ctx.prog.ConfigStaticText1 = kind == 2 ? "Защита OK" : "Конфигурация OK";
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
