// Configuration bytes, ID locations, device ID and erase against the virtual module.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/ImageAccess.h"
#include "config/ConfigWords.h"
#include "icsp/BenchRig.h"
#include "app/ChipRoutines.h"

namespace mrk {
namespace {

using sim::ChipModel;
using test::BenchRig;

// ConfigWrite as an image load leaves it: the chip's defaults, masked to what the program writes.
void LoadDefaultConfig(BenchRig& r) {
    const uint8_t masked[14] = {0x00, 0x27, 0x0F, 0x0F, 0x00, 0x01, 0x85, 0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40};
    for (int k = 0; k < 14; ++k) r.ctx.image.ConfigWrite[k] = masked[k] & r.Module().Peek(0x300000 + k);
}

class ConfigId : public ::testing::TestWithParam<ChipModel> {};

TEST_P(ConfigId, ProtectionPresetsThenTheProtectedRegionReadsAsTheChipGivesIt) {
    BenchRig r(GetParam());
    LoadDefaultConfig(r);
    r.Module().Poke(0x1000, 0x5A);
    r.Module().Poke(2 * r.ctx.prog.BootWords, 0x77);

    ASSERT_TRUE(WriteWordConfig(ConfigAccessOf(r.ctx), ConfigPreset::ProtectionOff));
    EXPECT_EQ(r.ctx.prog.ConfigStaticText1, "Конфигурация OK");
    r.ctx.ind.SpeedButton21 = true;
    ReadAll(r.ctx);
    EXPECT_EQ(r.ctx.image.BuffChip[0x1000], 0x5A);

    const uint8_t before8 = r.ctx.image.ConfigWrite[8], before9 = r.ctx.image.ConfigWrite[9];
    ASSERT_TRUE(WriteWordConfig(ConfigAccessOf(r.ctx), ConfigPreset::CodeProtection));
    EXPECT_EQ(r.ctx.prog.ConfigStaticText1, "Защита OK");
    EXPECT_EQ(r.ctx.image.ConfigWrite[8], before8);
    EXPECT_EQ(r.ctx.image.ConfigWrite[9], before9);
    EXPECT_EQ(r.ctx.image.ConfigWrite[11], 0xA0);
    EXPECT_EQ(r.ctx.image.ConfigWrite[13], 0x00);
    EXPECT_EQ(r.Module().Peek(0x300008), 0x00);

    ReadAll(r.ctx);
    EXPECT_EQ(r.ctx.image.BuffChip[0x1000], 0x00) << "code-protected block reads as zeros";
    EXPECT_EQ(r.ctx.image.BuffChip[2 * r.ctx.prog.BootWords], 0x00);

    // Protection is only undone by a bulk erase: preset 1 now fails and keeps its values.
    EXPECT_FALSE(WriteWordConfig(ConfigAccessOf(r.ctx), ConfigPreset::ProtectionOff));
    EXPECT_EQ(r.ctx.prog.ConfigStaticText1, "Ошибка записи конфигурации");
    EXPECT_EQ(r.ctx.image.ConfigWrite[8], 0x0F);
    EXPECT_EQ(r.ctx.image.ConfigWrite[9], 0xC0);

    EraseChip(r.ctx);
    r.bench.Module()->Settle(r.bench.Clock().Now() + 100 * sim::kMs);
    EXPECT_EQ(r.Module().Peek(0x1000), 0xFF);
    EXPECT_EQ(r.Module().Peek(0x300008), 0x0F);
    EXPECT_TRUE(WriteWordConfig(ConfigAccessOf(r.ctx), ConfigPreset::ProtectionOff));
}

TEST_P(ConfigId, CodeProtectionPairIsWrittenLastAndOddBytesTravelInTheHighHalf) {
    BenchRig r(GetParam());
    LoadDefaultConfig(r);
    ASSERT_TRUE(WriteConfigWords(r.ctx));
    std::vector<uint32_t> order;
    for (const auto& rec : r.Module().Trace()) {
        if (rec.command != 0xF) continue;
        order.push_back(rec.tblptrBefore);
        const uint8_t value = r.ctx.image.ConfigWrite[rec.tblptrBefore - 0x300000];
        EXPECT_EQ(rec.operand, (rec.tblptrBefore & 1) ? value << 8 : value) << std::hex << rec.tblptrBefore;
    }
    const std::vector<uint32_t> expect{0x300000, 0x300001, 0x300002, 0x300003, 0x300004, 0x300005, 0x300006,
                                       0x300007, 0x30000A, 0x30000B, 0x30000C, 0x30000D, 0x300008, 0x300009};
    EXPECT_EQ(order, expect);
}

TEST_P(ConfigId, IdWordsOneToThreeAreWrittenAndWordZeroIsLeftAlone) {
    BenchRig r(GetParam());
    r.Module().Poke(0x200000, 0x34);
    r.Module().Poke(0x200001, 0x12);
    WriteIdWords(r.ctx, 0x04D2, 0xA405, 0x00FF);
    ReadIdWords(r.ctx);
    EXPECT_EQ(r.ctx.prog.IdWords, (std::array<uint32_t, 4>{0x1234, 0x04D2, 0xA405, 0x00FF}));
    EXPECT_EQ(r.host.label2, "d[0]=1234 d[1]=4D2 d[2]=A405 d[3]=FF");
}

TEST_P(ConfigId, ConfigurationAndDeviceIdRead) {
    BenchRig r(GetParam());
    ReadConfigWords(r.ctx);
    for (int k = 0; k < 14; ++k) EXPECT_EQ(r.ctx.prog.ConfigRead[k], r.Module().Peek(0x300000 + k)) << k;
    EXPECT_EQ(r.ctx.prog.DevId2, r.Is4620() ? 0x0C : 0x04);
    ReadDevIdPlain(r.ctx);
    EXPECT_EQ(r.host.label2, r.Is4620() ? "Devid1=7 Devid2=C" : "Devid1=27 Devid2=4");
}

INSTANTIATE_TEST_SUITE_P(BothChips, ConfigId, ::testing::Values(ChipModel::PIC18F452, ChipModel::PIC18F4620),
                         [](const auto& info) { return std::string(test::ChipName(info.param)); });

TEST(ConfigBits, ByteAsBitString) {
    EXPECT_EQ(ByteStrToBin(0x0F), "00001111");
    EXPECT_EQ(ByteStrToBin(0x80), "10000000");
    EXPECT_EQ(ByteStrToBin(0xA5), "10100101");
}

} // namespace
} // namespace mrk
