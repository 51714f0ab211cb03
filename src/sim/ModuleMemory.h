#pragma once
// The chip's memories (program flash, ID locations, configuration bytes, device
// ID) with the code and write protection of its configuration bytes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/SimClock.h"

namespace mrk::sim {

enum class ChipModel;

constexpr uint32_t kIdBase = 0x200000;
constexpr uint32_t kIdSize = 8;
constexpr uint32_t kConfigBase = 0x300000;
constexpr uint32_t kConfigSize = 14;
constexpr uint32_t kDevId1 = 0x3FFFFE;
constexpr uint32_t kDevId2 = 0x3FFFFF;
constexpr uint32_t kRowSize = 64; // erase unit of both chips
constexpr uint32_t kEepromBase = 0xF00000; // data EEPROM as HEX files place it

// What differs between the two chips.
struct ChipTraits {
    uint32_t flashSize;      // bytes of program flash
    uint32_t writeBuffer;    // bytes programmed at once
    uint32_t bootBlockEnd;   // end of the protection boot block
    uint32_t protBlockSize;  // size of protection blocks 1..3 (block 0 runs from bootBlockEnd)
    uint32_t loaderEnd;      // end of the module's boot-loader region (update starts here)
    uint32_t linkBlock;      // bytes per boot-loader link block
    uint8_t devId2;
    uint8_t devId1Base;
    Nanos bulkEraseTime;     // P11
    Nanos selfEraseTime;     // a row erase by the chip's own program
    Nanos selfWriteTime;     // one write-buffer write by the chip's own program
    std::array<uint8_t, kConfigSize> configMask;
    std::array<uint8_t, kConfigSize> configDefault;
    uint32_t eepromSize;     // bytes of data EEPROM

    static const ChipTraits& For(ChipModel chip);
};

// Who asks for a write: the ICSP programmer, or the chip's own program (boot loader).
enum class Writer { Icsp, Self };

class ModuleMemory {
public:
    ModuleMemory(const ChipTraits& traits, uint8_t revision);

    const ChipTraits& Traits() const { return *traits_; }

    [[nodiscard]] bool IsFlash(uint32_t a) const { return a < traits_->flashSize; }
    [[nodiscard]] static bool IsId(uint32_t a) { return a >= kIdBase && a < kIdBase + kIdSize; }
    [[nodiscard]] static bool IsConfig(uint32_t a) { return a >= kConfigBase && a < kConfigBase + kConfigSize; }
    // Data EEPROM is kept (a module file carries it) but not reached over ICSP here.
    [[nodiscard]] bool IsEeprom(uint32_t a) const { return a >= kEepromBase && a < kEepromBase + traits_->eepromSize; }

    // Raw contents; unmapped addresses read 0x00.
    uint8_t Peek(uint32_t a) const;
    void Poke(uint32_t a, uint8_t v);
    // What a table read over ICSP returns (code-protected flash reads 0x00).
    uint8_t IcspRead(uint32_t a) const;

    [[nodiscard]] bool CodeProtected(uint32_t a) const;
    [[nodiscard]] bool WriteProtected(uint32_t a) const;
    [[nodiscard]] bool ConfigWriteProtected() const;

    // Programs flash/ID bytes from a write buffer at `start` (new = old AND data);
    // protected flash is left alone.
    void Program(uint32_t start, const uint8_t* data, size_t n, Writer who);
    // Erases the 64-byte row holding `a`, unless protected. Returns whether it erased.
    [[nodiscard]] bool EraseRow(uint32_t a, Writer who);
    // Erases the ID locations (the boot loader's rewrite of ID word 0).
    void EraseId();
    // Writes one configuration byte; false when configuration is write-protected.
    [[nodiscard]] bool WriteConfig(uint32_t a, uint8_t v);
    // Chip erase: flash, ID, data EEPROM, configuration defaults, no protection.
    void EraseAll();

    bool operator==(const ModuleMemory&) const = default;

private:
    // Index of the protection block: -1 boot block, 0..3 blocks 0..3.
    [[nodiscard]] int Block(uint32_t a) const;

    const ChipTraits* traits_;
    std::vector<uint8_t> flash_;
    std::array<uint8_t, kIdSize> id_{};
    std::array<uint8_t, kConfigSize> config_{};
    std::vector<uint8_t> eeprom_;
    uint8_t devId1_;
    uint8_t devId2_;
};

} // namespace mrk::sim
