// The virtual module's memories over ICSP: programming pulse, write buffer,
// row and bulk erase, configuration bytes, protection and ID locations.
#include <gtest/gtest.h>

#include "sim/ModuleProbe.h"
#include "sim/VirtualModule.h"

namespace mrk::sim::test {
namespace {

VirtualModule::Options Chip(ChipModel chip) {
    VirtualModule::Options o;
    o.chip = chip;
    return o;
}

// A module in programming mode with flash selected.
class Programming : public testing::Test {
protected:
    explicit Programming(ChipModel chip = ChipModel::PIC18F4620) : module(Chip(chip)), probe(module) {
        probe.Enter();
        probe.SelectFlash();
    }
    VirtualModule module;
    ModuleProbe probe;
};

struct PulseCase {
    const char* name;
    Nanos high;
    bool programs;
};

class ProgrammingPulse : public Programming, public testing::WithParamInterface<PulseCase> {};

TEST_P(ProgrammingPulse, ProgramsOnlyWhenTheFourthClockIsHeldForP9) {
    probe.WriteWords(0x1000, {0x1234, 0x5678}, GetParam().high);
    const bool programmed = module.Peek(0x1000) == 0x34 && module.Peek(0x1001) == 0x12 &&
                            module.Peek(0x1002) == 0x78 && module.Peek(0x1003) == 0x56;
    EXPECT_EQ(programmed, GetParam().programs);
    if (!GetParam().programs) {
        EXPECT_EQ(module.Peek(0x1000), 0xFF);
    }
}

INSTANTIATE_TEST_SUITE_P(VirtualModule, ProgrammingPulse,
                         testing::Values(PulseCase{"Long", 1200 * kUs, true}, PulseCase{"Exact", 1 * kMs, true},
                                         PulseCase{"Short", 900 * kUs, false}, PulseCase{"Plain", 1 * kUs, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Programming, FlashProgrammingOnlyClearsBits) {
    probe.WriteWords(0x0040, {0xF0F0});
    probe.WriteWords(0x0040, {0x0FFF});
    EXPECT_EQ(module.Peek(0x0040), 0xF0);
    EXPECT_EQ(module.Peek(0x0041), 0x00);
    // The untouched rest of the block keeps its bits: the buffer starts erased again.
    probe.WriteWords(0x0042, {0x0000});
    EXPECT_EQ(module.Peek(0x0040), 0xF0);
    EXPECT_EQ(module.Peek(0x0042), 0x00);
}

TEST_F(Programming, StartProgrammingWithoutAFollowingPulseProgramsNothing) {
    probe.SetTblptr(0x2000);
    probe.Command(0xF);
    probe.Operand(0x0000);
    probe.Core(0x0000); // ordinary NOP
    EXPECT_EQ(module.Peek(0x2000), 0xFF);
}

struct BufferCase {
    ChipModel chip;
    uint32_t bufferSize;
};

class WriteBuffer : public testing::TestWithParam<BufferCase> {};

TEST_P(WriteBuffer, HoldsOneAlignedBlockOfTheChipsSize) {
    VirtualModule module(Chip(GetParam().chip));
    ModuleProbe probe(module);
    probe.Enter();
    probe.SelectFlash();
    // 32 words over a 64-byte region, one start-programming at the end.
    std::vector<uint16_t> words;
    for (int i = 0; i < 32; ++i) words.push_back(static_cast<uint16_t>(0x0100 * (2 * i + 1) + 2 * i));
    probe.WriteWords(0x0400, words);
    const uint32_t size = GetParam().bufferSize;
    for (uint32_t a = 0x0400; a < 0x0440; ++a) {
        const bool inLastBlock = a >= 0x0440 - size;
        EXPECT_EQ(module.Peek(a), inLastBlock ? (a - 0x0400) : 0xFF) << std::hex << a;
    }
}

INSTANTIATE_TEST_SUITE_P(VirtualModule, WriteBuffer,
                         testing::Values(BufferCase{ChipModel::PIC18F452, 8}, BufferCase{ChipModel::PIC18F4620, 64}));

struct RowEraseCase {
    const char* name;
    Nanos wait;
    bool erased;
};

class RowErase : public Programming, public testing::WithParamInterface<RowEraseCase> {};

TEST_P(RowErase, ErasesTheRowWhenNoClockComesForOneMillisecond) {
    for (uint32_t a = 0x0FC0; a < 0x1080; ++a) module.Poke(a, 0x00);
    probe.RowErase(0x1010, GetParam().wait);
    module.Settle(probe.Now());
    EXPECT_EQ(module.Peek(0x1000), GetParam().erased ? 0xFF : 0x00);
    EXPECT_EQ(module.Peek(0x103F), GetParam().erased ? 0xFF : 0x00);
    EXPECT_EQ(module.Peek(0x0FFF), 0x00); // neighbours stay
    EXPECT_EQ(module.Peek(0x1040), 0x00);
}

INSTANTIATE_TEST_SUITE_P(VirtualModule, RowErase,
                         testing::Values(RowEraseCase{"Waited", 1200 * kUs, true},
                                         RowEraseCase{"CutShort", 800 * kUs, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Programming, RowEraseAcceptsTheUnlockSequence) {
    module.Poke(0x0200, 0x00);
    probe.SetTblptr(0x0200);
    probe.Core(0x84A6);
    probe.Core(0x88A6);
    for (uint16_t w : {0x0E55, 0x6EA7, 0x0EAA, 0x6EA7}) probe.Core(w);
    probe.Core(0x82A6);
    probe.Command(0x0);
    probe.Wait(2 * kMs);
    probe.Operand(0x0000);
    EXPECT_EQ(module.Peek(0x0200), 0xFF);
}

TEST_F(Programming, RowEraseNeedsWriteEnable) {
    module.Poke(0x0200, 0x00);
    probe.SetTblptr(0x0200);
    probe.Core(0x88A6);
    probe.Core(0x82A6);
    probe.Command(0x0);
    probe.Wait(2 * kMs);
    probe.Operand(0x0000);
    EXPECT_EQ(module.Peek(0x0200), 0x00);
}

struct BulkCase {
    const char* name;
    ChipModel chip;
    uint16_t control;
    Nanos wait;
    bool erased;
};

class BulkErase : public testing::TestWithParam<BulkCase> {};

TEST_P(BulkErase, ErasesEverythingWithTheChipsValueAndTime) {
    const BulkCase& c = GetParam();
    VirtualModule module(Chip(c.chip));
    module.Poke(0x0000, 0x12);
    module.Poke(0x7FFF, 0x34);
    module.Poke(0x200003, 0x56);
    module.Poke(0x300008, 0x00); // all blocks code-protected
    module.Poke(0x30000B, 0x00); // configuration and boot block write-protected
    module.Poke(0x300002, 0x00);
    ModuleProbe probe(module);
    probe.Enter();
    probe.BulkErase(c.control, c.wait);
    module.Settle(probe.Now());
    EXPECT_EQ(module.Peek(0x0000), c.erased ? 0xFF : 0x12);
    EXPECT_EQ(module.Peek(0x7FFF), c.erased ? 0xFF : 0x34);
    EXPECT_EQ(module.Peek(0x200003), c.erased ? 0xFF : 0x56);
    EXPECT_EQ(module.Peek(0x300008), c.erased ? 0x0F : 0x00);
    EXPECT_EQ(module.Peek(0x30000B), c.erased ? 0xE0 : 0x00);
    EXPECT_EQ(module.Peek(0x300002), c.erased ? (c.chip == ChipModel::PIC18F452 ? 0x0F : 0x1F) : 0x00);
}

INSTANTIATE_TEST_SUITE_P(
    VirtualModule, BulkErase,
    testing::Values(BulkCase{"Pic452", ChipModel::PIC18F452, 0x0080, 11 * kMs, true},
                    BulkCase{"Pic452TooShort", ChipModel::PIC18F452, 0x0080, 8 * kMs, false},
                    BulkCase{"Pic452WrongValue", ChipModel::PIC18F452, 0x0F87, 20 * kMs, false},
                    BulkCase{"Pic4620Older", ChipModel::PIC18F4620, 0x0F87, 6 * kMs, true},
                    BulkCase{"Pic4620Current", ChipModel::PIC18F4620, 0x3F8F, 6 * kMs, true},
                    BulkCase{"Pic4620TooShort", ChipModel::PIC18F4620, 0x0F87, 4 * kMs, false},
                    BulkCase{"Pic4620WrongValue", ChipModel::PIC18F4620, 0x0080, 20 * kMs, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(VirtualModuleBulkErase, LeavingProgrammingModeEarlyErasesNothing) {
    VirtualModule module(Chip(ChipModel::PIC18F4620));
    module.Poke(0x0100, 0x00);
    ModuleProbe probe(module);
    probe.Enter();
    probe.SetTblptr(0x3C0004);
    probe.Command(0xC);
    probe.Operand(0x0F87);
    probe.Core(0x0000);
    probe.Command(0x0);
    probe.Wait(1 * kMs);
    probe.Exit();
    module.Settle(probe.Now() + 100 * kMs);
    EXPECT_EQ(module.Peek(0x0100), 0x00);
}

TEST(VirtualModuleBulkErase, SettleShowsAnEraseThatHadTimeToFinish) {
    VirtualModule module(Chip(ChipModel::PIC18F452));
    module.Poke(0x0100, 0x00);
    ModuleProbe probe(module);
    probe.Enter();
    probe.SetTblptr(0x3C0004);
    probe.Command(0xC);
    probe.Operand(0x0080);
    probe.Core(0x0000);
    probe.Command(0x0);
    module.Settle(probe.Now() + 5 * kMs);
    EXPECT_EQ(module.Peek(0x0100), 0x00) << "still erasing";
    module.Settle(probe.Now() + 11 * kMs);
    EXPECT_EQ(module.Peek(0x0100), 0xFF);
}

struct ConfigMaskCase {
    ChipModel chip;
    std::vector<uint8_t> mask;
};

class ConfigBytes : public testing::TestWithParam<ConfigMaskCase> {};

TEST_P(ConfigBytes, ReadBackOnlyImplementedBits) {
    VirtualModule module(Chip(GetParam().chip));
    ModuleProbe probe(module);
    probe.Enter();
    probe.SelectConfig();
    for (uint32_t k = 0; k < 14; ++k) probe.WriteConfigByte(0x300000 + k, 0xFF);
    EXPECT_EQ(probe.Read(0x300000, 14), GetParam().mask);
    // Written, not ANDed: a bit set again comes back.
    probe.WriteConfigByte(0x300001, 0x00);
    EXPECT_EQ(probe.Read(0x300001, 1)[0], 0x00);
    probe.WriteConfigByte(0x300001, 0xFF);
    EXPECT_EQ(probe.Read(0x300001, 1)[0], GetParam().mask[1]);
}

INSTANTIATE_TEST_SUITE_P(
    VirtualModule, ConfigBytes,
    testing::Values(ConfigMaskCase{ChipModel::PIC18F452, {0x00, 0x27, 0x0F, 0x0F, 0x00, 0x01, 0x85, 0x00, 0x0F,
                                                          0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
                    ConfigMaskCase{ChipModel::PIC18F4620, {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x87, 0xC5, 0x00, 0x0F,
                                                           0xC0, 0x0F, 0xE0, 0x0F, 0x40}}));

TEST(VirtualModuleConfig, DefaultsPerChip) {
    VirtualModule m452(Chip(ChipModel::PIC18F452));
    VirtualModule m4620(Chip(ChipModel::PIC18F4620));
    EXPECT_EQ(m452.Peek(0x300001), 0x27);
    EXPECT_EQ(m4620.Peek(0x300001), 0x07);
    EXPECT_EQ(m4620.Peek(0x300005), 0x83);
    EXPECT_EQ(m4620.Peek(0x300006), 0x85);
}

TEST(VirtualModuleConfig, CodeProtectionOnceSetStaysUntilBulkErase) {
    VirtualModule module(Chip(ChipModel::PIC18F4620));
    ModuleProbe probe(module);
    probe.Enter();
    probe.SelectConfig();
    probe.WriteConfigByte(0x300008, 0x0A); // CP0 and CP2 on
    probe.WriteConfigByte(0x300008, 0x0F);
    EXPECT_EQ(module.Peek(0x300008), 0x0A);
    probe.WriteConfigByte(0x300009, 0x80); // CPB on
    probe.WriteConfigByte(0x300009, 0xC0);
    EXPECT_EQ(module.Peek(0x300009), 0x80);
    probe.BulkErase(0x0F87);
    EXPECT_EQ(module.Peek(0x300008), 0x0F);
    EXPECT_EQ(module.Peek(0x300009), 0xC0);
}

TEST(VirtualModuleConfig, WrtcMakesConfigurationReadOnly) {
    VirtualModule module(Chip(ChipModel::PIC18F452));
    ModuleProbe probe(module);
    probe.Enter();
    probe.SelectConfig();
    probe.WriteConfigByte(0x30000B, 0xC0); // WRTC = 0
    EXPECT_EQ(module.Peek(0x30000B), 0xC0);
    probe.WriteConfigByte(0x300001, 0x20);
    probe.WriteConfigByte(0x30000B, 0xE0);
    EXPECT_EQ(module.Peek(0x300001), 0x27);
    EXPECT_EQ(module.Peek(0x30000B), 0xC0);
}

TEST(VirtualModuleConfig, WrittenOnlyWithConfigurationSpaceSelected) {
    VirtualModule module(Chip(ChipModel::PIC18F4620));
    ModuleProbe probe(module);
    probe.Enter();
    probe.SelectFlash();
    probe.WriteConfigByte(0x300001, 0x00);
    EXPECT_EQ(module.Peek(0x300001), 0x07);
}

struct ProtectCase {
    const char* name;
    ChipModel chip;
    uint32_t configAddress;
    uint8_t configValue;
    uint32_t inside, outside;
    bool readsZero;
};

class Protection : public testing::TestWithParam<ProtectCase> {};

TEST_P(Protection, BlocksWritesAndErasesAndCodeProtectionHidesContent) {
    const ProtectCase& c = GetParam();
    VirtualModule module(Chip(c.chip));
    module.Poke(c.inside, 0x5A);
    module.Poke(c.outside, 0x5A);
    module.Poke(c.configAddress, c.configValue);
    ModuleProbe probe(module);
    probe.Enter();
    probe.SelectFlash();
    EXPECT_EQ(probe.Read(c.inside, 1)[0], c.readsZero ? 0x00 : 0x5A);
    EXPECT_EQ(probe.Read(c.outside, 1)[0], 0x5A);
    EXPECT_EQ(probe.Read(0x200000, 1)[0], 0xFF); // ID always readable
    probe.WriteWords(c.inside & ~1u, {0x0000});
    probe.WriteWords(c.outside & ~1u, {0x0000});
    EXPECT_EQ(module.Peek(c.inside), 0x5A);
    EXPECT_EQ(module.Peek(c.outside), 0x00);
    probe.RowErase(c.inside);
    probe.RowErase(c.outside);
    EXPECT_EQ(module.Peek(c.inside), 0x5A);
    EXPECT_EQ(module.Peek(c.outside), 0xFF);
}

INSTANTIATE_TEST_SUITE_P(
    VirtualModule, Protection,
    testing::Values(ProtectCase{"Pic452Cp0", ChipModel::PIC18F452, 0x300008, 0x0E, 0x1FFE, 0x2000, true},
                    ProtectCase{"Pic452Cp3", ChipModel::PIC18F452, 0x300008, 0x07, 0x6000, 0x5FFF, true},
                    ProtectCase{"Pic452Cpb", ChipModel::PIC18F452, 0x300009, 0x80, 0x01FF, 0x0200, true},
                    ProtectCase{"Pic452Wrt1", ChipModel::PIC18F452, 0x30000A, 0x0D, 0x2000, 0x1FFF, false},
                    ProtectCase{"Pic4620Cpb", ChipModel::PIC18F4620, 0x300009, 0x80, 0x07FF, 0x0800, true},
                    ProtectCase{"Pic4620Cp0", ChipModel::PIC18F4620, 0x300008, 0x0E, 0x0800, 0x07FF, true},
                    ProtectCase{"Pic4620Cp3", ChipModel::PIC18F4620, 0x300008, 0x07, 0xFFFF, 0xBFFF, true},
                    ProtectCase{"Pic4620Wrtb", ChipModel::PIC18F4620, 0x30000B, 0xA0, 0x0000, 0x0800, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(VirtualModuleId, LocationsProgramThroughTheBufferAndOnlyClearBits) {
    VirtualModule module(Chip(ChipModel::PIC18F4620));
    module.Poke(0x300008, 0x00); // code protection does not hide the ID
    ModuleProbe probe(module);
    probe.Enter();
    probe.SelectFlash();
    probe.WriteWords(0x200002, {0x1234, 0xABCD, 0x0F0F});
    EXPECT_EQ(probe.Read(0x200000, 8), (std::vector<uint8_t>{0xFF, 0xFF, 0x34, 0x12, 0xCD, 0xAB, 0x0F, 0x0F}));
    probe.WriteWords(0x200002, {0xFFFF, 0xFFFF, 0xF0F0});
    EXPECT_EQ(probe.Read(0x200006, 2), (std::vector<uint8_t>{0x00, 0x00}));
    probe.BulkErase(0x0F87);
    EXPECT_EQ(probe.Read(0x200000, 8), std::vector<uint8_t>(8, 0xFF));
}

} // namespace
} // namespace mrk::sim::test
