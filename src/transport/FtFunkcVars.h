#pragma once
#include <cstdint>

namespace mrk {

// Variables of the USB sample engine.
struct FtFunkcVars {
    uint8_t FtOutByte = 0x00;
    uint32_t FTIndxOutBuff = 0;
    uint32_t FtPollsPerMs = 0;
    bool FtOpened = false;
};

} // namespace mrk
