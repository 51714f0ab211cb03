#pragma once
// Lists a quarter of program memory in the log: the reference image or what was read from the chip.
#include <cstdint>
#include <string>

#include "image/FirmwareImages.h"

namespace mrk {

class Host;

struct PageLines {
    unsigned first, last; // display lines, inclusive; line L starts at byte 8*L
};
// Pages 0..3 of a memory of chipWords words. The boundary between pages 2 and 3
// sits at chipWords/6 + 341: the three-quarter mark for the PIC18F452, but not for
// the PIC18F4620; the four pages still cover every line once.
PageLines PageBounds(uint32_t chipWords, unsigned page);

// One display line: the byte address and four words, e.g. "000:  FFFF   FFFF   FFFF   FFFF".
// Words from `unreadFrom` on were not read from the chip: shown as "----".
std::string ListingLine(const uint8_t* memory, unsigned line, uint32_t unreadFrom = UINT32_MAX);

// Clears the log and lists the page under the heading of its source; the words
// a broken-off read of the chip did not bring back are not shown as chip data.
void Okno_1_2_Str(Host& host, const FirmwareImages& images, uint32_t chipWords, MemorySource source,
                  unsigned page);

} // namespace mrk
