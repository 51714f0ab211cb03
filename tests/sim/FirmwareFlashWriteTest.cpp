// The firmware's own flash writes on the executed module land by the chip's
// rules: a whole write buffer per write (PIC18F4620 64 bytes, PIC18F452 8), a
// row erase to 0xFF, nothing without the unlock sequence.
#include <gtest/gtest.h>

#include <vector>

#include "sim/ModuleMemory.h"
#include "sim/VirtualModule.h"

namespace mrk::sim {
namespace {

constexpr uint8_t kTablat = 0xF5, kTblptrL = 0xF6, kTblptrH = 0xF7, kTblptrU = 0xF8;
constexpr uint8_t kEecon1 = 0xA6, kEecon2 = 0xA7;

// A few PIC18 instructions, access bank.
uint16_t Movlw(uint8_t k) { return 0x0E00 | k; }
uint16_t Movwf(uint8_t f) { return 0x6E00 | f; }
constexpr uint16_t kTblwtPostInc = 0x000D; // TBLWT*+
constexpr uint16_t kTblrdPostDec = 0x000A; // TBLRD*-
constexpr uint16_t kStartWr = 0x82A6;      // BSF EECON1, WR
constexpr uint16_t kNop = 0x0000;
constexpr uint16_t kHere = 0xD7FF;         // BRA $

class Program {
public:
    Program& Add(uint16_t w) {
        words.push_back(w);
        return *this;
    }
    Program& Tblptr(uint32_t a) {
        return Add(Movlw(static_cast<uint8_t>(a >> 16))).Add(Movwf(kTblptrU))
            .Add(Movlw(static_cast<uint8_t>(a >> 8))).Add(Movwf(kTblptrH))
            .Add(Movlw(static_cast<uint8_t>(a))).Add(Movwf(kTblptrL));
    }
    // EECON1 := bits, then the unlock sequence and WR (or WR alone).
    Program& Cycle(uint8_t eecon1, bool unlock = true) {
        Add(Movlw(eecon1)).Add(Movwf(kEecon1));
        if (unlock) Add(Movlw(0x55)).Add(Movwf(kEecon2)).Add(Movlw(0xAA)).Add(Movwf(kEecon2));
        return Add(kStartWr).Add(kNop);
    }
    // Loads n holding registers with first, first + 1, ...
    Program& Load(int n, uint8_t first) {
        for (int i = 0; i < n; ++i) Add(Movlw(static_cast<uint8_t>(first + i))).Add(Movwf(kTablat)).Add(kTblwtPostInc);
        return Add(kTblrdPostDec); // back into the block just loaded
    }
    std::vector<uint16_t> words;
};

constexpr uint8_t kErase = 0x94; // EEPGD, FREE, WREN
constexpr uint8_t kWrite = 0x84; // EEPGD, WREN

// Puts the program at 0 of a chip with its watchdog off, releases MCLR and
// lets the program run for 20 ms.
void RunFromReset(VirtualModule& m, const Program& p) {
    for (size_t i = 0; i < p.words.size(); ++i) {
        m.Poke(static_cast<uint32_t>(2 * i), static_cast<uint8_t>(p.words[i]));
        m.Poke(static_cast<uint32_t>(2 * i + 1), static_cast<uint8_t>(p.words[i] >> 8));
    }
    m.Poke(kConfigBase + 3, m.Peek(kConfigBase + 3) & 0xFE); // WDTEN off
    ProgrammerPins pins;
    pins.mclr = Mclr::Low;
    m.Drive(0, pins);
    pins.mclr = Mclr::Vdd;
    m.Drive(kUs, pins);
    m.Settle(20 * kMs);
}

VirtualModule Executed(ChipModel chip) {
    VirtualModule::Options o;
    o.chip = chip;
    o.firmware = ModuleFirmware::Gpsim;
    return VirtualModule(o);
}

constexpr uint32_t kRow = 0x1000;

TEST(FirmwareFlashWrite, A64ByteRowWrittenOnThe4620ReadsBackWhole) {
    VirtualModule m = Executed(ChipModel::PIC18F4620);
    for (uint32_t i = 0; i < 64; ++i) m.Poke(kRow + i, 0x00); // erased first by the firmware
    Program p;
    p.Tblptr(kRow).Cycle(kErase).Load(64, 1).Cycle(kWrite).Add(kHere);
    RunFromReset(m, p);
    for (uint32_t i = 0; i < 64; ++i) EXPECT_EQ(m.Peek(kRow + i), i + 1) << "byte " << i;
    EXPECT_EQ(m.Peek(kRow + 64), 0xFF) << "the next row untouched";
}

TEST(FirmwareFlashWrite, The452WritesItsEightByteBufferAtTheBlockOfTblptr) {
    VirtualModule m = Executed(ChipModel::PIC18F452);
    Program p;
    // 64 bytes loaded: the 8 holding registers keep the last 8 of them.
    p.Tblptr(kRow).Cycle(kErase).Load(64, 1).Cycle(kWrite).Add(kHere);
    RunFromReset(m, p);
    for (uint32_t i = 0; i < 64; ++i) {
        const uint8_t expected = i >= 56 ? static_cast<uint8_t>(57 + (i - 56)) : 0xFF;
        EXPECT_EQ(m.Peek(kRow + i), expected) << "byte " << i;
    }
}

TEST(FirmwareFlashWrite, EraseLeavesFfAndNothingHappensWithoutTheUnlockSequence) {
    for (auto chip : {ChipModel::PIC18F4620, ChipModel::PIC18F452}) {
        SCOPED_TRACE(chip == ChipModel::PIC18F4620 ? "4620" : "452");
        VirtualModule m = Executed(chip);
        for (uint32_t i = 0; i < 128; ++i) m.Poke(kRow + i, 0x00);
        Program p;
        p.Tblptr(kRow).Cycle(kErase).Tblptr(kRow + 64).Cycle(kErase, false).Add(kHere);
        RunFromReset(m, p);
        for (uint32_t i = 0; i < 64; ++i) EXPECT_EQ(m.Peek(kRow + i), 0xFF) << "erased byte " << i;
        for (uint32_t i = 64; i < 128; ++i) EXPECT_EQ(m.Peek(kRow + i), 0x00) << "locked byte " << i;
    }
}

} // namespace
} // namespace mrk::sim
