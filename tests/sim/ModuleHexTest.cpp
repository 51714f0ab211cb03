// The virtual module's whole memory to and from Intel HEX files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/VirtualModule.h"

namespace mrk::sim::test {
namespace {

namespace fs = std::filesystem;

class ModuleHex : public testing::Test {
protected:
    ModuleHex() : dir_(fs::temp_directory_path() / ("mrk-module-hex-" + std::to_string(::getpid()))) {
        fs::create_directories(dir_);
    }
    ~ModuleHex() override { fs::remove_all(dir_); }

    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }
    std::string Write(const std::string& name, const std::string& text) const {
        std::ofstream(PathOf(name), std::ios::binary) << text;
        return PathOf(name);
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static VirtualModule::Options Chip(ChipModel chip, uint8_t revision = 0) {
        VirtualModule::Options o;
        o.chip = chip;
        o.revision = revision;
        return o;
    }

    fs::path dir_;
};

TEST_F(ModuleHex, SavedMemoryLoadsBackIntoAnotherModule) {
    VirtualModule a(Chip(ChipModel::PIC18F4620, 3));
    for (uint32_t x = 0; x < 40; ++x) a.Poke(0x0100 + x, static_cast<uint8_t>(x * 7));
    a.Poke(0xFFFF, 0x00);
    a.Poke(0x200001, 0x12);
    a.Poke(0x200007, 0x34);
    a.Poke(0x300001, 0x02);
    a.Poke(0x300008, 0x0A);
    std::string error;
    const std::string path = PathOf("a.hex");
    ASSERT_TRUE(a.SaveHex(path, error)) << error;

    const std::string text = Read(path);
    EXPECT_NE(text.find(":020000040020DA"), std::string::npos);
    EXPECT_NE(text.find(":020000040030CA"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 12), ":00000001FF\n");
    // Erased program lines are left out: 3 lines around 0x100, one at 0xFFF0.
    size_t programLines = 0;
    for (size_t at = text.find(":10"); at != std::string::npos; at = text.find(":10", at + 1)) ++programLines;
    EXPECT_EQ(programLines, 4u);

    VirtualModule b(Chip(ChipModel::PIC18F4620, 9));
    b.Poke(0x2000, 0x00); // not in the file: erased by the load
    ASSERT_TRUE(b.LoadHex(path, error)) << error;
    for (uint32_t x = 0; x < 0x10000; ++x) ASSERT_EQ(b.Peek(x), a.Peek(x)) << std::hex << x;
    for (uint32_t x = 0x200000; x < 0x200008; ++x) EXPECT_EQ(b.Peek(x), a.Peek(x)) << std::hex << x;
    for (uint32_t x = 0x300000; x < 0x30000E; ++x) EXPECT_EQ(b.Peek(x), a.Peek(x)) << std::hex << x;
    EXPECT_EQ(b.Peek(0x3FFFFE), 0x09); // the chip keeps its own device ID
}

TEST_F(ModuleHex, LoadKeepsOnlyImplementedConfigurationBits) {
    VirtualModule m(Chip(ChipModel::PIC18F452));
    const std::string path = Write("cfg.hex",
                                   ":020000040030CA\n"
                                   ":02000000FFFF00\n"
                                   ":00000001FF\n");
    std::string error;
    ASSERT_TRUE(m.LoadHex(path, error)) << error;
    EXPECT_EQ(m.Peek(0x300000), 0x00);
    EXPECT_EQ(m.Peek(0x300001), 0x27);
    EXPECT_EQ(m.Peek(0x300002), 0x0F); // not in the file: default
}

struct DamageCase {
    const char* name;
    const char* text;
    const char* error;
};

class DamagedHex : public ModuleHex, public testing::WithParamInterface<DamageCase> {};

TEST_P(DamagedHex, IsRefusedWithItsLineAndChangesNothing) {
    VirtualModule m(Chip(ChipModel::PIC18F452));
    m.Poke(0x0000, 0x42);
    m.Poke(0x300001, 0x20);
    const std::string path = Write("bad.hex", GetParam().text);
    std::string error;
    EXPECT_FALSE(m.LoadHex(path, error));
    EXPECT_NE(error.find(GetParam().error), std::string::npos) << error;
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_EQ(m.Peek(0x0000), 0x42);
    EXPECT_EQ(m.Peek(0x0001), 0xFF);
    EXPECT_EQ(m.Peek(0x300001), 0x20);
}

INSTANTIATE_TEST_SUITE_P(
    VirtualModule, DamagedHex,
    testing::Values(DamageCase{"Checksum", ":0200000011225B\n:00000001FF\n", "строка 1: ошибка контрольной суммы"},
                    DamageCase{"NoColon", ":020000001122CB\n020000001122CB\n:00000001FF\n", "строка 2: запись должна начинаться"},
                    DamageCase{"BadDigit", ":02000000112G9B\n:00000001FF\n", "строка 1: неверная шестнадцатеричная запись"},
                    DamageCase{"ShortRecord", ":040000001122C9\n:00000001FF\n", "строка 1: длина записи"},
                    DamageCase{"NoEnd", ":020000001122CB\n", "нет записи конца файла"},
                    DamageCase{"Empty", "", "нет записи конца файла"},
                    DamageCase{"UnknownType", ":020000061122C5\n:00000001FF\n", "строка 1: неизвестный тип записи 06"},
                    DamageCase{"BeyondFlash", ":0290000011223B\n:00000001FF\n", "0x009000 вне памяти кристалла"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ModuleHex, MissingFileSaysSoAndChangesNothing) {
    VirtualModule m(Chip(ChipModel::PIC18F4620));
    m.Poke(0x10, 0x00);
    std::string error;
    EXPECT_FALSE(m.LoadHex(PathOf("absent.hex"), error));
    EXPECT_NE(error.find("absent.hex"), std::string::npos) << error;
    EXPECT_EQ(m.Peek(0x10), 0x00);
}

TEST_F(ModuleHex, SaveIntoAMissingFolderFailsAndLeavesNoFile) {
    VirtualModule m(Chip(ChipModel::PIC18F4620));
    std::string error;
    const std::string path = PathOf("no/such/folder/m.hex");
    EXPECT_FALSE(m.SaveHex(path, error));
    EXPECT_NE(error.find("no/such/folder"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(ModuleHex, DataEepromRecordsAreKeptThroughLoadAndSave) {
    // Two bytes at the start of data EEPROM and one at its last address (0xFF of a 452).
    const std::string path = Write("eeprom.hex", ":0200000400F00A\n:02000000A55AFF\n:0100FF00C33D\n:00000001FF\n");
    VirtualModule m(Chip(ChipModel::PIC18F452));
    std::string error;
    ASSERT_TRUE(m.LoadHex(path, error)) << error;
    ASSERT_TRUE(m.SaveHex(PathOf("saved.hex"), error)) << error;
    VirtualModule again(Chip(ChipModel::PIC18F452));
    ASSERT_TRUE(again.LoadHex(PathOf("saved.hex"), error)) << error;
    EXPECT_EQ(again.Peek(0xF00000), 0xA5);
    EXPECT_EQ(again.Peek(0xF00001), 0x5A);
    EXPECT_EQ(again.Peek(0xF000FF), 0xC3);
    EXPECT_NE(Read(PathOf("saved.hex")).find(":0200000400F00A"), std::string::npos);
    // The 452 has 256 bytes of EEPROM: an address past them is not its memory.
    const std::string beyond = Write("beyond.hex", ":0200000400F00A\n:01010000C33B\n:00000001FF\n");
    EXPECT_FALSE(again.LoadHex(beyond, error));
    EXPECT_NE(error.find("0xF00100 вне памяти"), std::string::npos) << error;
}

TEST_F(ModuleHex, AFileOfTheOtherChipIsRefused) {
    VirtualModule m4620(Chip(ChipModel::PIC18F4620, 7));
    m4620.Poke(0x0000, 0x12);
    std::string error;
    ASSERT_TRUE(m4620.SaveHex(PathOf("4620.hex"), error)) << error;
    VirtualModule m452(Chip(ChipModel::PIC18F452));
    EXPECT_FALSE(m452.LoadHex(PathOf("4620.hex"), error));
    EXPECT_NE(error.find("PIC18F4620"), std::string::npos) << error;
    EXPECT_EQ(m452.Peek(0x0000), 0xFF) << "nothing taken over";
    // The same chip takes its own file back; a file without a device ID is taken as it is.
    VirtualModule other4620(Chip(ChipModel::PIC18F4620));
    EXPECT_TRUE(other4620.LoadHex(PathOf("4620.hex"), error)) << error;
    EXPECT_TRUE(m452.LoadHex(Write("plain.hex", ":0100000012ED\n:00000001FF\n"), error)) << error;
}

TEST_F(ModuleHex, ANonRegularFileIsAnErrorNotAHang) {
    fs::create_directory(PathOf("folder.hex"));
    VirtualModule m(Chip(ChipModel::PIC18F452));
    std::string error;
    EXPECT_FALSE(m.LoadHex(PathOf("folder.hex"), error));
    EXPECT_NE(error.find("это папка"), std::string::npos) << error;
    EXPECT_FALSE(m.SaveHex(PathOf("folder.hex"), error));
    EXPECT_TRUE(fs::is_directory(PathOf("folder.hex")));
}

} // namespace
} // namespace mrk::sim::test
