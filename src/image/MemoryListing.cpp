#include "image/MemoryListing.h"

#include <algorithm>

#include "core/Format.h"
#include "core/Host.h"
#include "image/LogControl.h"

namespace mrk {

PageLines PageBounds(uint32_t chipWords, unsigned page) {
    const unsigned cw = std::min<uint32_t>(chipWords, 0x8000);
    switch (page) {
    case 0: return {0, cw / 16 - 1};
    case 1: return {cw / 16, cw / 8 - 1};
    case 2: return {cw / 8, cw / 6 + 341};
    default: return {cw / 6 + 342, cw / 4 - 1};
    }
}

std::string ListingLine(const uint8_t* memory, unsigned line, uint32_t unreadFrom) {
    const uint8_t* p = memory + 8u * line;
    if (4u * line + 4 <= unreadFrom) {
        auto word = [p](int k) { return unsigned(p[2 * k]) | unsigned(p[2 * k + 1]) << 8; };
        return Format("%03X:  %04X   %04X   %04X   %04X", 8u * line, word(0), word(1), word(2), word(3));
    }
    std::string text = Format("%03X:", 8u * line);
    for (unsigned k = 0; k < 4; ++k)
        text += 4u * line + k < unreadFrom ? Format("%s%04X", k ? "   " : "  ", unsigned(p[2 * k]) | unsigned(p[2 * k + 1]) << 8)
                                           : std::string(k ? "   ----" : "  ----");
    return text;
}

void Okno_1_2_Str(Host& host, const FirmwareImages& images, uint32_t chipWords, MemorySource source,
                  unsigned page) {
    const bool reference = source == MemorySource::Reference;
    const PageLines lines = PageBounds(chipWords, page);
    const uint8_t* memory = reference ? images.BuffEt.data() : images.BuffChip.data();
    const uint32_t unreadFrom = reference ? UINT32_MAX : images.ChipReadBrokeAt.value_or(UINT32_MAX);
    ClearOkno(host);
    HoldOknoRepaint(host, true);
    host.Okno(reference ? "Карта памяти программ." : "Данные кристалла.");
    host.GaugeMax(static_cast<long>(lines.last - lines.first));
    host.GaugePos(0);
    for (unsigned L = lines.first; L <= lines.last; ++L) {
        host.Okno(ListingLine(memory, L, unreadFrom));
        host.GaugePos(static_cast<long>(L - lines.first));
    }
    HoldOknoRepaint(host, false);
}

} // namespace mrk
