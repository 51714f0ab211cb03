// Enciphered loads (.CRP files and embedded images) and the update scrambling.
#include <gtest/gtest.h>

#include <set>
#include <sys/stat.h>

#include "HexRecords.h"
#include "ImageRig.h"
#include "image/CrpCodec.h"
#include "image/EncipheredLoad.h"
#include "image/HexLoad.h"
#include "image/ImageKey.h"
#include "image/Scramble.h"

namespace mrk::test {
namespace {

std::vector<uint8_t> Encipher(const std::string& text) {
    Rc6Table S{};
    Rc6KeySetup(kImageKey, S);
    return CrpEncipher(S, std::vector<uint8_t>(text.begin(), text.end()));
}

class EncipheredLoad : public ::testing::Test {
protected:
    int LoadCrp(const std::string& text, ImageKind kind, const std::string& name = "fw.crp") {
        WriteBytes(dir / name, Encipher(text));
        (kind == ImageKind::Update ? rig.image.UpdatePath : rig.image.BootPath4620) = dir / name;
        return ExecuteCRPtoHex(rig.Load(), kind);
    }
    int LoadHex(const std::string& text, ImageKind kind) {
        WriteText(dir / "fw.hex", text);
        (kind == ImageKind::Update ? rig.image.UpdatePath : rig.image.BootPath4620) = dir / "fw.hex";
        return ExecuteHex(rig.Load(), kind);
    }
    ScratchDir dir;
    ImageRig rig;
};

const std::string kUpdateText = Rec(0, 0x0010, {0x01, 0x02, 0x03}) + Rec(0, 0x0800, {0xEF, 0x04, 0xF0, 0x00}) +
                                Rec(0, 0x0804, {0xFF, 0xFF, 0xFF, 0xFF, 0x12, 0xFF, 0xFF, 0xFF}) +
                                Rec(0, 0xFFFC, {0xAA, 0x55}) + Upper(0x0030) +
                                Rec(0, 0x0000, {0xFF, 0x22, 0xFF, 0xFF}) + kEof;

TEST_F(EncipheredLoad, UpdateCrpEqualsTheHexTextScrambled) {
    ImageRig plain;
    WriteText(dir / "plain.hex", kUpdateText);
    plain.image.UpdatePath = dir / "plain.hex";
    ASSERT_EQ(ExecuteHex(plain.Load(), ImageKind::Update), 0);
    BuffEtToCry(plain.image, plain.chip);

    ASSERT_EQ(LoadCrp(kUpdateText, ImageKind::Update), 0);
    EXPECT_EQ(rig.et(), plain.et());
    EXPECT_EQ(rig.cw(), plain.cw());
    EXPECT_EQ(rig.cw()[1], 0x22);
    EXPECT_TRUE(rig.host.log.empty());
}

TEST_F(EncipheredLoad, BootCrpIsNeitherScrambledNorTouchesConfigWrite) {
    // As every successful load it masks ConfigWrite, which the editor keeps masked anyway.
    rig.cw() = {0x00, 0x25, 0x0E, 0x0E, 0x00, 0x01, 0x81, 0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40};
    const auto before = rig.cw();
    ASSERT_EQ(LoadCrp(kUpdateText, ImageKind::BootLoader), 0);
    EXPECT_EQ(rig.cw(), before) << "configuration records of a boot image are dropped";
    EXPECT_EQ(rig.Word(0x0800), 0x04EF);
    EXPECT_EQ(rig.et()[0x0808], 0x12);
    EXPECT_EQ(rig.et()[0x10001], 0x00) << "no sums";
}

TEST_F(EncipheredLoad, EveryLengthModuloFourDeciphers) {
    // The end record's checksum may sit in the plain tail.
    std::set<size_t> tails;
    for (uint8_t n = 1; n <= 4; ++n) {
        std::vector<uint8_t> data(n, 0x3C);
        for (const char* end : {"", "\n"}) {
            std::string text = Rec(0, 0x0100, {0x11}) + Rec(0, 0x0200, data) + kEof;
            text.pop_back();
            text += end;
            tails.insert(text.size() % 4);
            rig.et().fill(0xFF);
            ASSERT_EQ(LoadCrp(text, ImageKind::BootLoader), 0) << text;
            EXPECT_EQ(rig.et()[0x0100], 0x11);
            EXPECT_EQ(rig.et()[0x0200 + n - 1], 0x3C);
        }
    }
    EXPECT_EQ(tails, (std::set<size_t>{0, 1, 2, 3}));
}

TEST_F(EncipheredLoad, WrongKeyShowsAsBadLineAndChangesNothingElse) {
    rig.cw().fill(0xFF);
    Rc6Table S{};
    Rc6KeySetup(Rc6Key{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, S);
    WriteBytes(dir / "other.crp", CrpEncipher(S, std::vector<uint8_t>(kUpdateText.begin(), kUpdateText.end())));
    rig.image.UpdatePath = dir / "other.crp";
    EXPECT_EQ(ExecuteCRPtoHex(rig.Load(), ImageKind::Update), -1);
    EXPECT_EQ(rig.host.log, std::vector<std::string>{"Ошибка формата или КС"});
    EXPECT_EQ(rig.cw()[0], 0xFF) << "no masking";
    EXPECT_EQ(rig.et()[0x10001], 0x00) << "no sums";
}

TEST_F(EncipheredLoad, TemporaryFileIsGoneAfterSuccessAndFailure) {
    ASSERT_EQ(LoadCrp(kUpdateText, ImageKind::Update), 0);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"fw.crp"});
    EXPECT_EQ(LoadCrp(BadSum(Rec(0, 0, {1})), ImageKind::Update, "bad.CRP"), -1);
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"bad.CRP", "fw.crp"}));
}

TEST_F(EncipheredLoad, TemporaryFileSitsBesideTheCrpFile) {
    // A folder in the way of fw.tmp: the text goes to a unique name beside it, and the folder stays.
    std::filesystem::create_directory(dir / "fw.tmp");
    EXPECT_EQ(LoadCrp(kUpdateText, ImageKind::Update), 0);
    EXPECT_TRUE(rig.host.messages.empty());
    EXPECT_TRUE(std::filesystem::is_directory(dir / "fw.tmp"));
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"fw.crp", "fw.tmp"}));
    EXPECT_EQ(rig.et()[0x0010], 0x01);
}

// What is already there under the temporary file's name belongs to someone else:
// it is neither written, nor read, nor deleted; a link is not followed.
TEST_F(EncipheredLoad, TemporaryNameTakenLeavesWhatIsThereAlone) {
    struct Case {
        const char* name;
        bool link;
    } cases[] = {{"a file", false}, {"a link to a file", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir here;
        const std::string other = Rec(0, 0x0010, {0x77}) + kEof; // a HEX text that must not be read
        WriteText(here / "victim.hex", other);
        if (c.link) std::filesystem::create_symlink(here / "victim.hex", here / "fw.tmp");
        else WriteText(here / "fw.tmp", other);
        WriteBytes(here / "fw.crp", Encipher(kUpdateText));
        ImageRig r;
        r.image.UpdatePath = here / "fw.crp";
        ASSERT_EQ(ExecuteCRPtoHex(r.Load(), ImageKind::Update), 0);
        EXPECT_EQ(ReadText(here / "victim.hex"), other);
        EXPECT_EQ(std::filesystem::is_symlink(here / "fw.tmp"), c.link);
        EXPECT_EQ(ReadText(here / "fw.tmp"), other);
        EXPECT_EQ(here.Names(), (std::vector<std::string>{"fw.crp", "fw.tmp", "victim.hex"}));
        ImageRig plain;
        WriteText(here / "plain.hex", kUpdateText);
        plain.image.UpdatePath = here / "plain.hex";
        ASSERT_EQ(ExecuteHex(plain.Load(), ImageKind::Update), 0);
        BuffEtToCry(plain.image, plain.chip);
        EXPECT_EQ(r.image.BuffEt, plain.image.BuffEt) << "the load read its own text";
    }
}

TEST_F(EncipheredLoad, CrpThatIsNoRegularFileIsAReadErrorNotACrash) {
    std::filesystem::create_directory(dir / "folder.crp");
    ASSERT_EQ(::mkfifo((dir / "pipe.crp").c_str(), 0600), 0);
    struct Case {
        const char* name;
        const char* why;
    } cases[] = {{"folder.crp", "это папка"}, {"pipe.crp", "не обычный файл"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ImageRig r;
        r.image.UpdatePath = dir / c.name;
        EXPECT_EQ(ExecuteCRPtoHex(r.Load(), ImageKind::Update), -1);
        ASSERT_EQ(r.host.messages.size(), 1u);
        EXPECT_EQ(r.host.messages[0].kind, MsgKind::Error);
        EXPECT_NE(r.host.messages[0].text.find("Ошибка чтения файла " + (dir / c.name)), std::string::npos)
            << r.host.messages[0].text;
        EXPECT_NE(r.host.messages[0].text.find(c.why), std::string::npos) << r.host.messages[0].text;
    }
}

TEST_F(EncipheredLoad, UnwritableTemporaryFolderIsAClearError) {
    WriteText(dir / "not-a-folder", "x");
    rig.image.TempDir = dir / "not-a-folder";
    EXPECT_EQ(LoadCrp(kUpdateText, ImageKind::Update), -1);
    ASSERT_EQ(rig.host.messages.size(), 1u);
    EXPECT_EQ(rig.host.messages[0].kind, MsgKind::Error);
    EXPECT_NE(rig.host.messages[0].text.find("fw.tmp"), std::string::npos);
}

TEST_F(EncipheredLoad, TemporaryFolderCanBeChosen) {
    ScratchDir temp;
    rig.image.TempDir = temp.path().string();
    ASSERT_EQ(LoadCrp(kUpdateText, ImageKind::Update), 0);
    EXPECT_TRUE(temp.Names().empty());
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"fw.crp"});
}

TEST_F(EncipheredLoad, EmbeddedImageDeciphersIntoKvzVerTmpInTheCurrentDirectory) {
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    // With the name taken (here by a folder) a unique name beside it serves instead.
    std::filesystem::create_directory("KvzVer.tmp");
    const int beside = ExecuteResurse(rig.Load(), ImageKind::Update);
    const auto leftBeside = dir.Names();
    std::filesystem::remove("KvzVer.tmp");
    const int loaded = ExecuteResurse(rig.Load(), ImageKind::Update);
    const auto left = dir.Names();
    std::filesystem::current_path(cwd);

    EXPECT_EQ(beside, 0);
    EXPECT_EQ(leftBeside, std::vector<std::string>{"KvzVer.tmp"});
    EXPECT_TRUE(rig.host.messages.empty());
    EXPECT_EQ(loaded, 0);
    EXPECT_TRUE(left.empty());
}

// The scrambling of the update region, on BuffEt directly.
class Scrambling : public ::testing::Test {
protected:
    ImageRig rig;
};

TEST_F(Scrambling, ErasedRegionStaysAndSumsDependOnTheChip) {
    for (bool is4620 : {true, false}) {
        rig.SetChip(is4620);
        rig.et().fill(0xFF);
        const auto before = rig.et();
        BuffEtToCry(rig.image, rig.chip);
        const unsigned end = is4620 ? 0x10000 : 0x8000;
        for (unsigned x = 0; x < end; ++x) ASSERT_EQ(rig.et()[x], before[x]) << x;
        // 0x7C00 / 0x3E80 bytes of 0xFF for each parity.
        const uint8_t sum = is4620 ? 0x00 : 0x80;
        EXPECT_EQ(rig.et()[end + 1], sum);
        EXPECT_EQ(rig.et()[end + 2], sum);
        EXPECT_EQ(rig.et()[end], 0xFF) << "the byte before the sums is left alone";
    }
}

TEST_F(Scrambling, KeyRollsOnlyThroughScrambledGroups) {
    rig.SetChip(false);
    rig.et().fill(0xFF);
    const unsigned first = 0x300;
    // Groups at +0 and +8 use key bytes 0..3; +20 and +28 use key bytes 4..7.
    // A group with a single non-FF byte is scrambled whole.
    const uint8_t plain[4] = {0x00, 0x11, 0xFF, 0xFE};
    for (unsigned at : {0u, 8u, 20u, 28u})
        for (unsigned k = 0; k < 4; ++k) rig.et()[first + at + k] = plain[k];
    BuffEtToCry(rig.image, rig.chip);
    // "velmarto" and each byte turned right once.
    const uint8_t vel[4] = {'v', 'e', 'l', 'm'}, velOnce[4] = {0x3B, 0xB2, 0x36, 0xB6};
    const uint8_t art[4] = {'a', 'r', 't', 'o'}, artOnce[4] = {0xB0, 0x39, 0x3A, 0xB7};
    for (unsigned k = 0; k < 4; ++k) {
        EXPECT_EQ(rig.et()[first + k], plain[k] ^ vel[k]) << k;
        EXPECT_EQ(rig.et()[first + 8 + k], plain[k] ^ velOnce[k]) << k;
        EXPECT_EQ(rig.et()[first + 20 + k], plain[k] ^ art[k]) << k;
        EXPECT_EQ(rig.et()[first + 28 + k], plain[k] ^ artOnce[k]) << k;
    }
    EXPECT_EQ(rig.et()[first + 4], 0xFF) << "erased group in between stays";
    // Sums over the plain region: 0x3E80 - 16 bytes of 0xFF in each parity plus the groups.
    const unsigned even = (0x3E80 - 8) * 0xFF + 4 * (0x00 + 0xFF);
    const unsigned odd = (0x3E80 - 8) * 0xFF + 4 * (0x11 + 0xFE);
    EXPECT_EQ(rig.et()[0x8001], even % 256);
    EXPECT_EQ(rig.et()[0x8002], odd % 256);
}

TEST_F(Scrambling, BootRegionIsNeverScrambled) {
    rig.SetChip(true);
    for (unsigned x = 0; x < 0x800; ++x) rig.et()[x] = static_cast<uint8_t>(x);
    const auto before = rig.et();
    BuffEtToCry(rig.image, rig.chip);
    for (unsigned x = 0; x < 0x800; ++x) ASSERT_EQ(rig.et()[x], before[x]);
}

} // namespace
} // namespace mrk::test
