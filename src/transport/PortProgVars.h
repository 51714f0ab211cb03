#pragma once
#include <cstdint>

namespace mrk {

// Variables of the line-operation module (LPT side).
struct PortProgVars {
    uint16_t AdrLpt = 0x378;   // base I/O address of the LPT port
    uint8_t LptShadow = 0x08;  // image of the data register; bit 3 stays 1
    bool ProgAnswered = false; // last handshake was echoed in time
    bool EchoAnswered = false; // last echo cycle of any operation was echoed in time
};

} // namespace mrk
