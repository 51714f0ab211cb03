#include "sim/ModuleMemory.h"

#include <algorithm>

#include "sim/VirtualModule.h"

namespace mrk::sim {

namespace {
// Configuration byte indexes and the protection bits in them (active when 0).
constexpr size_t kConfig5L = 8; // CP0..CP3 in bits 0..3
constexpr size_t kConfig5H = 9; // CPB bit 6
constexpr size_t kConfig6L = 10; // WRT0..WRT3 in bits 0..3
constexpr size_t kConfig6H = 11; // WRTC bit 5, WRTB bit 6
constexpr uint8_t kBootBit = 0x40;
constexpr uint8_t kWrtcBit = 0x20;

// Self-timed erase/write cycles of the chips' own flash writes (typical values).
const ChipTraits kPic18f452 = {
    0x8000, 8, 0x200, 0x2000, 0x300, 8, 0x04, 0x20, 10 * kMs, 2 * kMs, 2 * kMs,
    {0x00, 0x27, 0x0F, 0x0F, 0x00, 0x01, 0x85, 0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40},
    {0x00, 0x27, 0x0F, 0x0F, 0x00, 0x01, 0x85, 0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40},
    256,
};
const ChipTraits kPic18f4620 = {
    0x10000, 64, 0x800, 0x4000, 0x800, 64, 0x0C, 0x00, 5 * kMs, 1 * kMs, 1500 * kUs,
    {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x87, 0xC5, 0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40},
    {0x00, 0x07, 0x1F, 0x1F, 0x00, 0x83, 0x85, 0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40},
    1024,
};
} // namespace

const ChipTraits& ChipTraits::For(ChipModel chip) {
    return chip == ChipModel::PIC18F452 ? kPic18f452 : kPic18f4620;
}

ModuleMemory::ModuleMemory(const ChipTraits& traits, uint8_t revision)
    : traits_(&traits), flash_(traits.flashSize, 0xFF), eeprom_(traits.eepromSize, 0xFF),
      devId1_(static_cast<uint8_t>(traits.devId1Base | (revision & 0x1F))), devId2_(traits.devId2) {
    EraseAll();
}

uint8_t ModuleMemory::Peek(uint32_t a) const {
    if (IsFlash(a)) return flash_[a];
    if (IsId(a)) return id_[a - kIdBase];
    if (IsConfig(a)) return config_[a - kConfigBase];
    if (a == kDevId1) return devId1_;
    if (a == kDevId2) return devId2_;
    if (IsEeprom(a)) return eeprom_[a - kEepromBase];
    return 0x00;
}

void ModuleMemory::Poke(uint32_t a, uint8_t v) {
    if (IsFlash(a)) flash_[a] = v;
    else if (IsId(a)) id_[a - kIdBase] = v;
    else if (IsConfig(a)) config_[a - kConfigBase] = v & traits_->configMask[a - kConfigBase];
    else if (a == kDevId1) devId1_ = v;
    else if (a == kDevId2) devId2_ = v;
    else if (IsEeprom(a)) eeprom_[a - kEepromBase] = v;
}

uint8_t ModuleMemory::IcspRead(uint32_t a) const {
    if (IsFlash(a) && CodeProtected(a)) return 0x00;
    return Peek(a);
}

int ModuleMemory::Block(uint32_t a) const {
    if (a < traits_->bootBlockEnd) return -1;
    return static_cast<int>(a / traits_->protBlockSize);
}

bool ModuleMemory::CodeProtected(uint32_t a) const {
    if (!IsFlash(a)) return false;
    const int b = Block(a);
    if (b < 0) return (config_[kConfig5H] & kBootBit) == 0;
    return (config_[kConfig5L] & (1u << b)) == 0;
}

bool ModuleMemory::WriteProtected(uint32_t a) const {
    if (!IsFlash(a)) return false;
    const int b = Block(a);
    if (b < 0) return (config_[kConfig6H] & kBootBit) == 0;
    return (config_[kConfig6L] & (1u << b)) == 0;
}

bool ModuleMemory::ConfigWriteProtected() const { return (config_[kConfig6H] & kWrtcBit) == 0; }

void ModuleMemory::Program(uint32_t start, const uint8_t* data, size_t n, Writer who) {
    for (size_t i = 0; i < n; ++i) {
        const uint32_t a = start + static_cast<uint32_t>(i);
        if (IsFlash(a)) {
            // The boot loader is held back by write protection; ICSP by both kinds.
            if (WriteProtected(a)) continue;
            if (who == Writer::Icsp && CodeProtected(a)) continue;
            flash_[a] &= data[i];
        } else if (IsId(a)) {
            id_[a - kIdBase] &= data[i];
        }
    }
}

bool ModuleMemory::EraseRow(uint32_t a, Writer who) {
    if (!IsFlash(a)) return false;
    const uint32_t start = a - a % kRowSize;
    if (WriteProtected(start)) return false;
    if (who == Writer::Icsp && CodeProtected(start)) return false;
    std::fill_n(flash_.begin() + start, kRowSize, uint8_t{0xFF});
    return true;
}

void ModuleMemory::EraseId() { id_.fill(0xFF); }

bool ModuleMemory::WriteConfig(uint32_t a, uint8_t v) {
    if (!IsConfig(a) || ConfigWriteProtected()) return false;
    const size_t k = a - kConfigBase;
    uint8_t value = v & traits_->configMask[k];
    // A code-protection bit once cleared stays cleared until a chip erase.
    if (k == kConfig5L || k == kConfig5H) value &= config_[k];
    config_[k] = value;
    return true;
}

void ModuleMemory::EraseAll() {
    std::fill(flash_.begin(), flash_.end(), uint8_t{0xFF});
    id_.fill(0xFF);
    std::fill(eeprom_.begin(), eeprom_.end(), uint8_t{0xFF});
    config_ = traits_->configDefault;
}

} // namespace mrk::sim
