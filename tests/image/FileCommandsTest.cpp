// The three firmware loads of the main window: messages, Label3, ViewSource.
#include <gtest/gtest.h>

#include "HexRecords.h"
#include "ImageRig.h"
#include "image/CrpCodec.h"
#include "image/FileCommands.h"
#include "image/HexLoad.h"
#include "image/ImageKey.h"
#include "image/Scramble.h"

namespace mrk::test {
namespace {

class FileCommands : public ::testing::Test {
protected:
    std::string Hex(const std::string& name, const std::string& text) {
        WriteText(dir / name, text);
        return dir / name;
    }
    ScratchDir dir;
    ImageRig rig;
};

const std::string kBoot = Rec(0, 0x0000, {0x0E, 0xEF, 0x00, 0xF0}) + kEof;
const std::string kUpdate = Rec(0, 0x0800, {0x8D, 0xEF, 0x04, 0xF0}) + kEof;

TEST_F(FileCommands, MissingBootFileNamesThePathInLogAndLabel) {
    rig.image.BootPath4620 = dir / "boot.hex";
    EXPECT_FALSE(LoadBootLoaderFile(rig.Load()));
    EXPECT_EQ(rig.host.log, std::vector<std::string>{"Файл " + (dir / "boot.hex") + " не найден."});
    EXPECT_EQ(rig.host.label3, "Ошибка загрузки " + (dir / "boot.hex"));
}

TEST_F(FileCommands, MissingUpdateFileLeavesLabelWithoutPath) {
    rig.image.UpdatePath = dir / "update.hex";
    EXPECT_FALSE(LoadUpdateFile(rig.Load()));
    EXPECT_EQ(rig.host.log, std::vector<std::string>{"Файл " + (dir / "update.hex") + " не найден."});
    EXPECT_EQ(rig.host.label3, "Ошибка загрузки");
}

struct ExtensionCase {
    const char* name;
    bool loads;
};
void PrintTo(const ExtensionCase& c, std::ostream* os) { *os << c.name; }

class FileCommandsExtension : public FileCommands, public ::testing::WithParamInterface<ExtensionCase> {};

TEST_P(FileCommandsExtension, PicksTheLoaderByExtensionIgnoringCase) {
    rig.image.BootPath4620 = Hex(GetParam().name, kBoot);
    rig.image.ViewSource = MemorySource::Chip;
    EXPECT_EQ(LoadBootLoaderFile(rig.Load()), GetParam().loads);
    if (GetParam().loads) {
        EXPECT_EQ(rig.host.log, std::vector<std::string>{"Загружен файл " + rig.image.BootPath4620 + "."});
        EXPECT_EQ(rig.Word(0), 0xEF0E);
        EXPECT_EQ(rig.image.ViewSource, MemorySource::Reference);
        EXPECT_EQ(rig.host.label3, "") << "a boot load leaves Label3 as it was";
    } else {
        EXPECT_EQ(rig.host.log, std::vector<std::string>{"Неправильное расширение файла."});
        EXPECT_EQ(rig.host.label3, "Ошибка загрузки " + rig.image.BootPath4620);
        EXPECT_EQ(rig.image.ViewSource, MemorySource::Chip);
    }
}

INSTANTIATE_TEST_SUITE_P(Names, FileCommandsExtension,
                         ::testing::Values(ExtensionCase{"boot.hex", true}, ExtensionCase{"boot.HEX", true},
                                           ExtensionCase{"boot.Hex", true}, ExtensionCase{"boot.v2.hex", true},
                                           ExtensionCase{"boot.hx", false}, ExtensionCase{"boot", false},
                                           ExtensionCase{"boot.hex.bak", false}),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             for (char& c : n)
                                 if (c == '.') c = '_';
                             return n;
                         });

TEST_F(FileCommands, ExtensionIsTakenFromTheFileNameOnly) {
    EXPECT_EQ(UpperExtension("/srv/fw.v2/boot"), "");
    EXPECT_EQ(UpperExtension("/srv/fw/boot.crp"), ".CRP");
}

TEST_F(FileCommands, FailedBootLoadKeepsTheUpdateAboveTheBootRegion) {
    rig.image.UpdatePath = Hex("update.hex", kUpdate);
    ASSERT_TRUE(LoadUpdateFile(rig.Load()));
    rig.image.BootPath4620 = Hex("boot.hex", Rec(0, 0, {1, 2}) + BadSum(Rec(0, 0x10, {3})) + kEof);
    EXPECT_FALSE(LoadBootLoaderFile(rig.Load()));
    EXPECT_EQ(rig.host.log.back(), "Ошибка формата или КС");
    EXPECT_EQ(rig.host.label3, "Ошибка загрузки " + rig.image.BootPath4620);
    EXPECT_EQ(rig.Word(0x0800), 0xEF8D);
}

TEST_F(FileCommands, UpdateFileLoadClearsTheLogAndShowsTheReferenceImage) {
    rig.host.log = {"earlier line"};
    rig.image.ViewSource = MemorySource::Chip;
    rig.et()[0x0010] = 0x00;
    rig.image.UpdatePath = Hex("update.hex", kUpdate);
    ASSERT_TRUE(LoadUpdateFile(rig.Load()));
    EXPECT_TRUE(rig.host.log.empty());
    EXPECT_EQ(rig.host.clears, 1);
    EXPECT_EQ(rig.image.ViewSource, MemorySource::Reference);
    EXPECT_EQ(rig.host.label3, "Загружен Файл " + rig.image.UpdatePath);
    EXPECT_EQ(rig.et()[0x0010], 0xFF) << "program space refilled first";
    EXPECT_EQ(rig.Word(0x0800), 0xEF8D) << "a .HEX update is stored plain";
}

TEST_F(FileCommands, CrpUpdateFileIsScrambledWithSums) {
    Rc6Table S{};
    Rc6KeySetup(kImageKey, S);
    WriteBytes(dir / "update.Crp", CrpEncipher(S, std::vector<uint8_t>(kUpdate.begin(), kUpdate.end())));
    rig.image.UpdatePath = dir / "update.Crp";
    ASSERT_TRUE(LoadUpdateFile(rig.Load()));
    EXPECT_EQ(rig.et()[0x0800], 0x8D ^ 'v');
    EXPECT_EQ(rig.host.label3, "Загружен Файл " + rig.image.UpdatePath);
}

TEST_F(FileCommands, UpdateFileWithAnotherExtensionIsRefused) {
    rig.image.UpdatePath = Hex("update.bin", kUpdate);
    EXPECT_FALSE(LoadUpdateFile(rig.Load()));
    EXPECT_EQ(rig.host.log, std::vector<std::string>{"Неправильное расширение файла."});
    EXPECT_EQ(rig.host.label3, "Ошибка загрузки " + rig.image.UpdatePath);
}

struct EmbeddedCase {
    bool is4620;
    const char* label;
    const char* plainHex; // the update the build enciphered into the image
};
void PrintTo(const EmbeddedCase& c, std::ostream* os) { *os << c.plainHex; }

class EmbeddedUpdate : public FileCommands, public ::testing::WithParamInterface<EmbeddedCase> {};

TEST_P(EmbeddedUpdate, LoadsTheChipsImageScrambledAndReportsItsName) {
    ScratchDir cwd;
    rig.image.TempDir = cwd.path().string();
    rig.SetChip(GetParam().is4620);
    rig.image.ViewSource = MemorySource::Chip;
    rig.et()[0] = 0x00;
    ASSERT_TRUE(LoadEmbeddedUpdate(rig.Load()));
    EXPECT_EQ(rig.host.label3, GetParam().label);
    EXPECT_TRUE(rig.host.log.empty());
    EXPECT_EQ(rig.image.ViewSource, MemorySource::Chip) << "the embedded load does not touch the view source";
    EXPECT_EQ(rig.et()[0], 0xFF);
    const auto first = rig.et();
    ASSERT_TRUE(LoadEmbeddedUpdate(rig.Load()));
    EXPECT_EQ(rig.et(), first) << "the key is rebuilt for every load";

#ifdef MRK_DEMO_IMAGES
    ImageRig plain(GetParam().is4620);
    plain.image.UpdatePath = std::string(MRK_FIRMWARE_DIR) + "/" + GetParam().plainHex;
    ASSERT_EQ(ExecuteHex(plain.Load(), ImageKind::Update), 0);
    BuffEtToCry(plain.image, plain.chip);
    EXPECT_EQ(rig.et(), plain.et());
#endif
    EXPECT_TRUE(cwd.Names().empty());
}

INSTANTIATE_TEST_SUITE_P(Chips, EmbeddedUpdate,
                         ::testing::Values(EmbeddedCase{true, "Загружен Файл Mrk4620Ver45", "update-4620.hex"},
                                           EmbeddedCase{false, "Загружен Файл MrkVer45", "update-452.hex"}),
                         [](const auto& info) { return std::string(info.param.is4620 ? "PIC18F4620" : "PIC18F452"); });

} // namespace
} // namespace mrk::test
