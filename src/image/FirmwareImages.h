#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace mrk {

// What a firmware load is for: the update (scrambled, with its two sums, its
// configuration records kept) or the boot loader (laid over the image as it is).
enum class ImageKind { Update, BootLoader };

// Which memory the memory pages list: the reference image or what was read from the chip.
enum class MemorySource { Reference, Chip };

// The chip the images are for, as the programmer last identified it.
struct TargetChip {
    bool is4620 = false;         // PIC18F4620; else PIC18F452
    uint32_t chipWords = 0x8000; // program memory in words
    uint32_t bootWords = 0x400;  // boot-loader region in words
};

// The firmware images: the reference image of program memory, what was read back
// from the chip, the configuration to write, the firmware paths and the state of
// the loaders.
struct FirmwareImages {
    FirmwareImages() {
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

    // Which buffer the memory pages show.
    MemorySource ViewSource = MemorySource::Reference;

    // A boot-loader file was laid over BuffEt since it was last refilled with
    // 0xFF: only then does its boot region hold something to write.
    bool BootImageLoaded = false;

    // Firmware paths as the parameters window holds them: the update file and
    // the boot-loader files for the PIC18F4620 and for the PIC18F452.
    std::string UpdatePath, BootPath4620, BootPath452;
    // SHA-256 of the boot-loader file's bytes as last loaded; empty when that load failed.
    std::string BootSha256;

    // Folder for the deciphered temporary files; empty keeps them beside the
    // .CRP file, and in the current directory for an embedded image.
    std::string TempDir;

    // Key area of the enciphered-image loaders (the first 8 bytes double as the
    // scrambling key) and the cipher's round-key table.
    std::array<uint8_t, 10> ImageKey{};
    std::array<uint8_t, 20> S{};

    // The boot-loader file of the given chip.
    [[nodiscard]] const std::string& BootPath(bool is4620) const { return is4620 ? BootPath4620 : BootPath452; }
    [[nodiscard]] std::string& BootPath(bool is4620) { return is4620 ? BootPath4620 : BootPath452; }
    // The file a load of the given kind reads.
    [[nodiscard]] const std::string& PathOf(ImageKind kind, bool is4620) const {
        return kind == ImageKind::Update ? UpdatePath : BootPath(is4620);
    }
};

} // namespace mrk
