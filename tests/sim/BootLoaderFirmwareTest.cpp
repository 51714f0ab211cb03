// The demo boot loader as the build assembled it, read instruction by
// instruction from its HEX: it must keep working whatever the configuration
// says of the watchdog (an erased PIC18F452 resets every 2.3 s; an application
// may set 1:1). No PIC18 simulator is at hand, so the code itself is checked:
// every loop clears the watchdog except the two-instruction waits for a PGC
// edge inside a bit, every flash erase or write starts with a fresh watchdog
// period, and the time-out for "no programmer" is Timer0's.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/FactoryBootLoader.h"
#include "sim/VirtualModule.h"

namespace mrk::sim {
namespace {

// Enough of the PIC18 instruction set to follow the control flow.
struct Instr {
    uint32_t pc = 0;
    uint16_t w = 0;
    uint32_t size = 2;                // bytes
    std::optional<uint32_t> jump;     // BRA, Bcc, GOTO target
    bool conditional = false;         // Bcc: falls through as well
    bool skip = false;                // BTFSC, BTFSS, DECFSZ, CPFSEQ, ...
};

constexpr uint16_t kClrwdt = 0x0004;
constexpr uint16_t kStartWrite = 0x82A6; // BSF EECON1, WR
constexpr uint8_t kPortB = 0x81, kIntcon = 0xF2, kRcon = 0xD0;

int32_t SignExtend(uint32_t v, int bits) {
    const uint32_t m = 1u << (bits - 1);
    return static_cast<int32_t>((v ^ m) - m);
}

Instr Decode(uint32_t pc, uint16_t w, uint16_t next) {
    Instr i;
    i.pc = pc;
    i.w = w;
    if ((w & 0xF800) == 0xD000) i.jump = pc + 2 + 2 * SignExtend(w & 0x7FF, 11);             // BRA
    if ((w & 0xF800) == 0xE000) {                                                           // BC .. BNOV
        i.jump = pc + 2 + 2 * SignExtend(w & 0xFF, 8);
        i.conditional = true;
    }
    if ((w & 0xFF00) == 0xEF00) {                                                           // GOTO
        i.size = 4;
        i.jump = (((next & 0x0FFFu) << 8) | (w & 0xFFu)) * 2;
    }
    if ((w & 0xFE00) == 0xEC00 || (w & 0xF000) == 0xC000 || (w & 0xFFC0) == 0xEE00) i.size = 4; // CALL MOVFF LFSR
    const uint16_t op6 = w & 0xFC00, op7 = w & 0xFE00;
    i.skip = (w & 0xE000) == 0xA000 /* BTFSS, BTFSC */ || op6 == 0x2C00 || op6 == 0x3C00 || op6 == 0x4C00 ||
             op6 == 0x4800 || op7 == 0x6000 || op7 == 0x6200 || op7 == 0x6400 || op7 == 0x6600;
    return i;
}

// BTFSC / BTFSS on a bit of an access-bank register.
bool TestsBit(const Instr& i, uint8_t reg, int bit) {
    return (i.w & 0xE000) == 0xA000 && (i.w & 0x00FF) == reg && ((i.w >> 9) & 7) == bit && !(i.w & 0x0100);
}

class BootLoaderCode : public ::testing::TestWithParam<ChipModel> {
protected:
    void SetUp() override {
        VirtualModule::Options o;
        o.chip = GetParam();
        VirtualModule m(o);
        std::string error;
        ASSERT_TRUE(m.LoadHexText(FactoryBootLoaderHex(GetParam()), error)) << error;
        appBase = GetParam() == ChipModel::PIC18F452 ? 0x300 : 0x800;
        std::vector<uint8_t> bytes;
        for (uint32_t a = 0; a < appBase + 2; ++a) bytes.push_back(m.Peek(a));
        // The code ends where the mark the bench looks for begins.
        const std::string text(bytes.begin(), bytes.end());
        const size_t mark = text.find("MRK-BOOT");
        ASSERT_NE(mark, std::string::npos);
        // Code starts at the entry after the two interrupt vectors.
        for (uint32_t pc = 0; pc + 1 < mark;) {
            const uint16_t w = static_cast<uint16_t>(bytes[pc] | bytes[pc + 1] << 8);
            const uint16_t next = static_cast<uint16_t>(bytes[pc + 2] | bytes[pc + 3] << 8);
            code[pc] = Decode(pc, w, next);
            pc += code[pc].size;
        }
    }
    // Backward jumps: each closes a loop over [target, jump].
    std::vector<std::pair<uint32_t, uint32_t>> Loops() const {
        std::vector<std::pair<uint32_t, uint32_t>> loops;
        for (const auto& [pc, i] : code)
            if (i.jump && *i.jump <= pc) loops.emplace_back(*i.jump, pc);
        return loops;
    }
    std::vector<Instr> Body(uint32_t from, uint32_t to) const {
        std::vector<Instr> body;
        for (auto it = code.lower_bound(from); it != code.end() && it->first <= to; ++it) body.push_back(it->second);
        return body;
    }
    static bool Clears(const std::vector<Instr>& body) {
        return std::any_of(body.begin(), body.end(), [](const Instr& i) { return i.w == kClrwdt; });
    }
    // A wait for PGC to change inside a bit: BTFSx PORTB,6 / BRA back to it.
    static bool IsEdgeWait(const std::vector<Instr>& body) {
        return body.size() == 2 && TestsBit(body[0], kPortB, 6) && body[1].jump == body[0].pc;
    }
    // Straight-line code from pc (following BRA / GOTO) reaches GOTO appBase.
    bool StartsApplication(uint32_t pc) const {
        for (int steps = 0; steps < 16 && code.count(pc); ++steps) {
            const Instr& i = code.at(pc);
            if ((i.w & 0xFF00) == 0xEF00 && i.jump == appBase) return true;
            if (i.jump && !i.conditional) pc = *i.jump;
            else pc += i.size;
        }
        return false;
    }

    std::map<uint32_t, Instr> code;
    uint32_t appBase = 0;
};

TEST_P(BootLoaderCode, EveryLoopClearsTheWatchdogButTheEdgeWaitsInsideABit) {
    const auto loops = Loops();
    ASSERT_GT(loops.size(), 20u);
    int edgeWaits = 0;
    for (const auto& [from, to] : loops) {
        const auto body = Body(from, to);
        if (IsEdgeWait(body)) {
            ++edgeWaits;
            continue;
        }
        EXPECT_TRUE(Clears(body)) << std::hex << "loop " << from << ".." << to << " never clears the watchdog";
    }
    // Eight bits of a block byte and of a synchronisation byte, two waits each, and more.
    EXPECT_GE(edgeWaits, 32);
}

TEST_P(BootLoaderCode, EveryEraseAndWriteStartsWithAFreshWatchdogPeriod) {
    int writes = 0;
    for (const auto& [pc, i] : code) {
        if (i.w != kStartWrite) continue;
        ++writes;
        // The unlock sequence (MOVLW 55h, MOVWF EECON2, MOVLW AAh, MOVWF EECON2) comes
        // right before WR; the CLRWDT right before that.
        const auto before = Body(pc > 10 ? pc - 10 : 0, pc - 2);
        ASSERT_EQ(before.size(), 5u);
        EXPECT_EQ(before[0].w, kClrwdt) << std::hex << pc;
        EXPECT_EQ(before[1].w, 0x0E55);
        EXPECT_EQ(before[3].w, 0x0EAA);
    }
    EXPECT_GE(writes, 1);
}

TEST_P(BootLoaderCode, NoProgrammerMeansTheApplicationStartsOnTimer0) {
    // The wait for the first clock clears the watchdog, looks at PGC every few
    // cycles, and leaves for the application once Timer0 overflowed.
    int timedWaits = 0;
    for (const auto& [from, to] : Loops()) {
        const auto body = Body(from, to);
        const auto overflow = std::find_if(body.begin(), body.end(), [](const Instr& i) { return TestsBit(i, kIntcon, 2); });
        if (overflow == body.end()) continue;
        ++timedWaits;
        EXPECT_TRUE(Clears(body));
        EXPECT_GE(std::count_if(body.begin(), body.end(), [](const Instr& i) { return TestsBit(i, kPortB, 6); }), 3);
        ASSERT_TRUE((overflow + 1)->jump);
        EXPECT_TRUE(StartsApplication(*(overflow + 1)->jump));
    }
    EXPECT_EQ(timedWaits, 1);
    // A watchdog reset (the programmer went away in the middle of a bit) starts it too.
    const Instr& entry = code.at(code.at(0).jump.value());
    EXPECT_TRUE(TestsBit(entry, kRcon, 3)) << "RCON.TO is looked at first";
}

INSTANTIATE_TEST_SUITE_P(BothChips, BootLoaderCode, ::testing::Values(ChipModel::PIC18F452, ChipModel::PIC18F4620),
                         [](const auto& i) { return std::string(i.param == ChipModel::PIC18F4620 ? "PIC18F4620" : "PIC18F452"); });

} // namespace
} // namespace mrk::sim
