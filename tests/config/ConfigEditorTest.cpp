// The configuration window's state and handlers, without the widgets.
#include <gtest/gtest.h>

#include "app/ImageAccess.h"
#include "config/ConfigBitDescriptions.h"
#include "config/ConfigEditor.h"
#include "config/ConfigWords.h"
#include "icsp/BenchRig.h"
#include "support/RecordingHost.h"

namespace mrk {
namespace {

using namespace configform;

// The window's state over configuration bytes of its own and a programmer that
// records what it is asked to write.
struct EditorRig {
    EditorRig() {
        for (size_t k = 0; k < 14; ++k) configWrite[k] = static_cast<uint8_t>(0x10 + k);
        FormShow(Access(), form);
    }
    void SetChip(bool chip4620) { is4620 = chip4620; }
    ConfigAccess Access() {
        return {configWrite, is4620, resultText,
                [this] {
                    written.push_back(configWrite);
                    return chipTakesIt;
                },
                [] { return std::optional<ConfigReadout>{}; }};
    }
    ConfigBytes configWrite{};
    bool is4620 = false;
    std::string resultText;
    bool chipTakesIt = true;
    std::vector<ConfigBytes> written;
    ConfigForm form;
};

TEST(ConfigEditor, BytesAsBitsAndCheckBoxes) {
    const std::pair<uint8_t, const char*> shown[] = {{0x0F, "00001111"}, {0x80, "10000000"}, {0x8C, "10001100"}};
    for (const auto& [v, bits] : shown) EXPECT_EQ(ByteStrToBin(v), bits);

    ConfigForm f;
    ByteToCheckBox(f, 0xFF);
    EXPECT_EQ(f.CheckBox, (std::array<bool, 8>{1, 1, 1, 1, 1, 1, 1, 1}));
    ByteToCheckBox(f, 0x00);
    EXPECT_EQ(f.CheckBox, (std::array<bool, 8>{}));
    ByteToCheckBox(f, 0x81); // CheckBox1 is bit 0, CheckBox8 bit 7
    EXPECT_EQ(f.CheckBox, (std::array<bool, 8>{1, 0, 0, 0, 0, 0, 0, 1}));
    for (int v = 0; v < 256; ++v) {
        ByteToCheckBox(f, static_cast<uint8_t>(v));
        ASSERT_EQ(CheckBoxToByte(f), v);
    }
}

TEST(ConfigEditor, ChangingTheSelectedByteFromTheCheckBoxes) {
    EditorRig r;
    SelectorClick(r.Access(), r.form, 9); // SpeedButton13, CONFIG5H
    r.form.CheckBox = {};
    r.form.CheckBox[6] = r.form.CheckBox[7] = true; // CheckBox7, CheckBox8
    ChangeSelectedByte(r.Access(), r.form);
    EXPECT_EQ(r.configWrite[9], 0xC0);
    EXPECT_EQ(r.form.Edit[9], "11000000");
    EXPECT_EQ(r.form.Edit[8], ByteStrToBin(0x18)) << "other rows untouched";
    EXPECT_EQ(r.configWrite[8], 0x18);
}

TEST(ConfigEditor, NoSelectorDownChangesNothing) {
    EditorRig r;
    const auto before = r.configWrite;
    const auto edits = r.form.Edit;
    r.form.CheckBox.fill(true);
    ChangeSelectedByte(r.Access(), r.form);
    EXPECT_EQ(r.configWrite, before);
    EXPECT_EQ(r.form.Edit, edits);
}

TEST(ConfigEditor, SelectingShowsTheByteAndListsItsBitsForTheChipOfTheMoment) {
    EditorRig r;
    r.configWrite[2] = 0xFF;
    r.configWrite[3] = 0x00;
    SelectorClick(r.Access(), r.form, 2);
    EXPECT_EQ(CheckBoxToByte(r.form), 0xFF);
    SelectorClick(r.Access(), r.form, 3);
    EXPECT_EQ(CheckBoxToByte(r.form), 0x00);
    EXPECT_EQ(r.form.selectorDown, 3);

    for (bool is4620 : {false, true}) {
        r.SetChip(is4620);
        for (int row : {0, 4, 7}) { // CONFIG1L, CONFIG3L, CONFIG4H
            SelectorClick(r.Access(), r.form, row);
            EXPECT_EQ(r.form.Memoconfig, std::vector<std::string>{"Резерв."}) << row;
        }
    }

    r.SetChip(false);
    SelectorClick(r.Access(), r.form, 5); // CONFIG3H
    ASSERT_EQ(r.form.Memoconfig.size(), 4u);
    EXPECT_EQ(r.form.Memoconfig[1], "CCP2MX* CCP2 MUX bit");

    r.SetChip(true);
    EXPECT_EQ(r.form.Memoconfig.size(), 4u) << "a chip change shows only at the next click";
    SelectorClick(r.Access(), r.form, 5);
    ASSERT_EQ(r.form.Memoconfig.size(), 17u);
    EXPECT_EQ(r.form.Memoconfig[1], "MCLRE: MCLR Pin Enable bit");
    EXPECT_EQ(r.form.Memoconfig[5], "LPT1OSC: Low-Power Timer1 Oscillator Enable bit");
    EXPECT_EQ(r.form.Memoconfig[9], "PBADEN: PORTB A/D Enable bit");
    EXPECT_EQ(r.form.Memoconfig[14], "CCP2MX* CCP2 MUX bit");

    SelectorClick(r.Access(), r.form, 5);
    EXPECT_EQ(r.form.Memoconfig, ConfigBitLines(5, true)) << "the same row twice lists once";
}

TEST(ConfigEditor, ChangeModeAndTheWindowsShowingAndClosing) {
    EditorRig r;
    EXPECT_TRUE(r.form.selectorsEnabled);
    EXPECT_FALSE(r.form.IzmConfigDown);
    EXPECT_FALSE(r.form.SpeedButton2Enabled);
    EXPECT_FALSE(r.form.editsEnabled);
    EXPECT_EQ(r.form.Edit[13], ByteStrToBin(0x1D));
    EXPECT_FALSE(WriteEditedConfig(r.Access(), r.form)) << "no write outside change mode";

    r.resultText = "Конфигурация OK";
    BeginChange(r.Access(), r.form);
    EXPECT_TRUE(r.form.IzmConfigDown);
    EXPECT_TRUE(r.form.SpeedButton2Enabled);
    EXPECT_TRUE(r.form.editsEnabled);
    EXPECT_FALSE(r.form.selectorsEnabled);
    EXPECT_EQ(r.resultText, "");

    FormClose(r.form);
    EXPECT_FALSE(r.form.IzmConfigDown);
    EXPECT_FALSE(r.form.SpeedButton2Enabled);
    EXPECT_FALSE(r.form.selectorsEnabled) << "selectors stay off until Отмена";
    EXPECT_TRUE(r.form.editsEnabled);

    r.configWrite[0] = 0xA5;
    FormShow(r.Access(), r.form);
    EXPECT_TRUE(r.form.selectorsEnabled);
    EXPECT_FALSE(r.form.editsEnabled);
    EXPECT_EQ(r.form.Edit[0], "10100101");
}

// Each preset as the programmer is asked to write it, and what stays of it in the
// configuration to write afterwards: CONFIG5L/5H come back after a write the chip
// took; the other preset bytes stay (the next write carries them).
TEST(ConfigEditor, PresetsAsTheProgrammerGetsThem) {
    struct Case {
        ConfigPreset preset;
        bool chipTakesIt;
        std::vector<std::pair<size_t, uint8_t>> written, after;
        const char* result;
    };
    const Case cases[] = {
        {ConfigPreset::AsEdited, true, {{8, 0x18}, {9, 0x19}, {13, 0x1D}}, {{8, 0x18}, {9, 0x19}}, "Конфигурация OK"},
        {ConfigPreset::ProtectionOff, true, {{8, 0x0F}, {9, 0xC0}, {10, 0x0F}, {11, 0xE0}, {13, 0x40}},
         {{8, 0x18}, {9, 0x19}, {10, 0x0F}, {11, 0xE0}, {13, 0x40}}, "Конфигурация OK"},
        {ConfigPreset::CodeProtection, true, {{8, 0x00}, {9, 0x80}, {10, 0x1A}, {11, 0xA0}, {13, 0x00}},
         {{8, 0x18}, {9, 0x19}, {11, 0xA0}}, "Защита OK"},
        {ConfigPreset::ProtectionOff, false, {{8, 0x0F}, {9, 0xC0}}, {{8, 0x0F}, {9, 0xC0}},
         "Ошибка записи конфигурации"},
        {ConfigPreset::CodeProtection, false, {{8, 0x00}, {9, 0x80}}, {{8, 0x00}, {9, 0x80}},
         "Ошибка записи битов защиты"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.result);
        EditorRig r;
        r.chipTakesIt = c.chipTakesIt;
        EXPECT_EQ(WriteWordConfig(r.Access(), c.preset), c.chipTakesIt);
        ASSERT_EQ(r.written.size(), 1u);
        for (const auto& [k, v] : c.written) EXPECT_EQ(r.written[0][k], v) << "written byte " << k;
        for (const auto& [k, v] : c.after) EXPECT_EQ(r.configWrite[k], v) << "kept byte " << k;
        EXPECT_EQ(r.resultText, c.result);
    }
}

// The window on the virtual bench: read, and the write with its result text.
// ConfigWrite as an image load leaves it: the chip's bytes, masked to what the program writes.
void LoadChipConfig(test::BenchRig& r) {
    const uint8_t masked[14] = {0x00, 0x27, 0x0F, 0x0F, 0x00, 0x01, 0x85, 0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40};
    for (size_t k = 0; k < 14; ++k) r.ctx.image.ConfigWrite[k] = masked[k] & r.Module().Peek(0x300000 + k);
}

class ConfigEditorOnBench : public ::testing::TestWithParam<sim::ChipModel> {};

TEST_P(ConfigEditorOnBench, ReadAndWriteWithTheirResults) {
    test::BenchRig r(GetParam());
    ConfigForm f;
    configform::ReadChipConfig(ConfigAccessOf(r.ctx), f);
    EXPECT_EQ(f.LabeledEdit[0], ByteStrToBin(r.Module().Peek(0x300000)));
    EXPECT_EQ(f.LabeledEdit[11], ByteStrToBin(r.Module().Peek(0x30000B)));
    EXPECT_EQ(f.LabeledEdit[15], r.Is4620() ? "00001100" : "00000100"); // DEVID2

    LoadChipConfig(r);
    r.ctx.image.ConfigWrite[3] ^= 0x01; // the watchdog bit changed in the editor
    FormShow(ConfigAccessOf(r.ctx), f);
    BeginChange(ConfigAccessOf(r.ctx), f);
    EXPECT_TRUE(WriteEditedConfig(ConfigAccessOf(r.ctx), f));
    EXPECT_EQ(r.ctx.prog.ConfigStaticText1, "Конфигурация OK");
    EXPECT_EQ(r.Module().Peek(0x300003) & 0x01, r.ctx.image.ConfigWrite[3] & 0x01);

    const auto before = r.ctx.image.ConfigWrite;
    EXPECT_TRUE(WriteWordConfig(ConfigAccessOf(r.ctx), ConfigPreset::CodeProtection));
    EXPECT_EQ(r.ctx.prog.ConfigStaticText1, "Защита OK");
    EXPECT_EQ(r.ctx.image.ConfigWrite[8], before[8]);
    EXPECT_EQ(r.ctx.image.ConfigWrite[9], before[9]);
}

TEST_P(ConfigEditorOnBench, WriteProtectedModuleFails) {
    test::BenchRig r(GetParam());
    r.Module().Poke(0x30000B, 0xC0); // WRTC on: configuration registers write-protected
    LoadChipConfig(r);
    r.ctx.image.ConfigWrite[3] ^= 0x01; // the watchdog bit changed in the editor
    ConfigForm f;
    FormShow(ConfigAccessOf(r.ctx), f);
    BeginChange(ConfigAccessOf(r.ctx), f);
    EXPECT_FALSE(WriteEditedConfig(ConfigAccessOf(r.ctx), f));
    EXPECT_EQ(r.ctx.prog.ConfigStaticText1, "Ошибка записи конфигурации");
    EXPECT_FALSE(WriteWordConfig(ConfigAccessOf(r.ctx), ConfigPreset::CodeProtection));
    EXPECT_EQ(r.ctx.prog.ConfigStaticText1, "Ошибка записи битов защиты");
    EXPECT_EQ(r.ctx.image.ConfigWrite[8], 0x00) << "a failed write keeps the preset";
    EXPECT_EQ(r.ctx.image.ConfigWrite[9], 0x80);
}

INSTANTIATE_TEST_SUITE_P(BothChips, ConfigEditorOnBench,
                         ::testing::Values(sim::ChipModel::PIC18F452, sim::ChipModel::PIC18F4620),
                         [](const auto& info) { return std::string(test::ChipName(info.param)); });

} // namespace
} // namespace mrk
