#pragma once
// What the configuration routines work on: the configuration bytes to write, the
// chip the main window shows, the line that tells the write's result, and the
// programmer's side (the station writes and reads the chip's configuration words).
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace mrk {

// CONFIG1L..CONFIG7H.
using ConfigBytes = std::array<uint8_t, 14>;

// What the chip holds: its configuration words and its device ID.
struct ConfigReadout {
    ConfigBytes config{};
    uint8_t devId1 = 0, devId2 = 0;
};

struct ConfigAccess {
    ConfigBytes& configWrite; // the firmware images' ConfigWrite
    bool is4620 = false;      // the chip the main window shows; else PIC18F452
    std::string& resultText;  // the configuration window's result line
    // Writes configWrite as it stands to the chip; true when the chip reads it back.
    std::function<bool()> writeChip;
    // Reads the chip's configuration words and device ID; none when the read broke off.
    std::function<std::optional<ConfigReadout>()> readChip;
};

} // namespace mrk
