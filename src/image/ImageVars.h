#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace mrk {

// Reference image of program memory, what was read back from the chip, and the
// state of the firmware loaders.
struct ImageVars {
    ImageVars() {
        BuffEt.fill(0xFF);
        // The four bytes past the 64 KB program space (update sums) start at zero.
        for (size_t i = 0x10000; i < BuffEt.size(); ++i) BuffEt[i] = 0;
        BuffChip.fill(0xFF);
        ConfigWrite.fill(0xFF);
    }
    std::array<uint8_t, 65540> BuffEt;   // program memory image + the two update sums
    std::array<uint8_t, 65536> BuffChip; // read back from the chip
    // Where the last read of the chip broke off (a word index): BuffChip holds
    // what the chip answered below it only. None when that read ended whole.
    std::optional<uint32_t> ChipReadBrokeAt;
    std::array<uint8_t, 14> ConfigWrite; // CONFIG1L..CONFIG7H to be written

    // Which buffer the memory pages show: 0 BuffEt, 1 BuffChip.
    uint8_t ViewSource = 0;

    // A boot-loader file was laid over BuffEt since it was last refilled with
    // 0xFF: only then does its boot region hold something to write.
    bool BootImageLoaded = false;

    // Firmware paths as the parameters window holds them: Edit1 the update file,
    // Edit2 the boot loader for the PIC18F4620, Edit5 the boot loader for the PIC18F452.
    std::string Edit1, Edit2, Edit5;
    // SHA-256 of the boot-loader file's bytes as last loaded; empty when that load failed.
    std::string BootSha256;

    // Folder for the deciphered temporary files; empty keeps them beside the
    // .CRP file, and in the current directory for an embedded image.
    std::string TempDir;

    // Key area of the enciphered-image loaders (the first 8 bytes double as the
    // scrambling key) and the cipher's round-key table.
    std::array<uint8_t, 10> ImageKey{};
    std::array<uint8_t, 20> S{};
};

} // namespace mrk
