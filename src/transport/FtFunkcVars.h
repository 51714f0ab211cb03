#pragma once
#include <cstdint>
#include <vector>

#include "transport/D2xxVars.h"

namespace mrk {

// Variables of the USB sample engine.
struct FtFunkcVars {
    uint8_t FtOutByte = 0x00;
    uint32_t FTIndxOutBuff = 0;
    std::vector<uint8_t> FtOutCopy = std::vector<uint8_t>(kFtBufferSize, 0);
    uint32_t FtPollsPerMs = 0;
    bool FtOpened = false;
    uint64_t FtWrites = 0; // transfers made by FtWrite, for benchmarks
    // The device answered the last operation that talked to it (a transfer that
    // came back whole; a delay whose transfer and polls all answered).
    bool FtAnswered = false;
    uint64_t FtDelayMs = 0; // milliseconds FtDelay was asked to wait, for benchmarks
    // Samples sent whose read-back has not been taken yet: a VPP change's, until
    // the next transfer or delay takes it.
    uint32_t FtUnread = 0;
};

} // namespace mrk
