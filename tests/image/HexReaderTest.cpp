// The Intel HEX reader: record rules, configuration area, failures.
#include <gtest/gtest.h>

#include <algorithm>

#include "HexRecords.h"
#include "ImageRig.h"
#include "image/HexLoad.h"

namespace mrk::test {
namespace {

class HexReader : public ::testing::Test {
protected:
    int Load(const std::string& text, bool is4620 = true) {
        rig.SetChip(is4620);
        WriteText(dir / "update.hex", text);
        rig.image.UpdatePath = dir / "update.hex";
        return ExecuteHex(rig.Load(), ImageKind::Update);
    }
    ScratchDir dir;
    ImageRig rig;
};

const std::array<uint8_t, 14> kMasks = {0x00, 0x27, 0x0F, 0x0F, 0x00, 0x01, 0x85,
                                        0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40};

TEST_F(HexReader, LowerCaseLoadsLikeUpperCase) {
    const std::string upper = Rec(0, 0x1230, {0xAB, 0xCD, 0xEF, 0x0A}) + kEof;
    std::string lower = upper;
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    const auto initial = rig.et();
    ASSERT_EQ(Load(lower), 0);
    EXPECT_EQ(rig.et()[0x1230], 0xAB);
    EXPECT_EQ(rig.et()[0x1233], 0x0A);
    const auto fromLower = rig.et();
    rig.et() = initial;
    ASSERT_EQ(Load(upper), 0);
    EXPECT_EQ(rig.et(), fromLower);
}

TEST_F(HexReader, EndOfFileRecordEndsReading) {
    // The damaged line after the end record is never looked at.
    ASSERT_EQ(Load(Rec(0, 0x10, {1, 2}) + kEof + BadSum(Rec(0, 0x20, {3})) + Rec(0, 0x30, {4})), 0);
    EXPECT_EQ(rig.et()[0x10], 1);
    EXPECT_EQ(rig.et()[0x30], 0xFF);
    EXPECT_TRUE(rig.host.log.empty());
}

TEST_F(HexReader, TextEndingWithoutAValidEndRecordIsAFormatError) {
    struct Case {
        const char* name;
        std::string text;
    } cases[] = {
        {"empty file", ""},
        {"records, no end record", Rec(0, 0x10, {1}) + Rec(0, 0x7FFE, {0x12, 0x34})},
        {"cut inside a record", Rec(0, 0x10, {1}) + ":02000000"},
        {"end record with a bad checksum as the last line", Rec(0, 0x10, {1}) + ":00000001FE\n"},
        {"blank lines after the records", Rec(0, 0x10, {1}) + "\n\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        rig.host.log.clear();
        rig.cw().fill(0xFF);
        EXPECT_EQ(Load(c.text), -1);
        EXPECT_EQ(rig.host.log, std::vector<std::string>{"Ошибка формата или КС"});
        EXPECT_EQ(rig.cw()[0], 0xFF) << "no masking after a failed load";
    }
    // The records before the end stay in place, as for a bad line.
    EXPECT_EQ(rig.et()[0x10], 1);
}

TEST_F(HexReader, CrLfLinesLoad) {
    std::string text = Rec(0, 0x40, {0x5A, 0xA5}) + kEof;
    for (size_t p = 0; (p = text.find('\n', p)) != std::string::npos; p += 2) text.insert(p, "\r");
    ASSERT_EQ(Load(text), 0);
    EXPECT_EQ(rig.Word(0x40), 0xA55A);
}

TEST_F(HexReader, ByteCountEntersOnlyTheChecksum) {
    // LL says 2 but four bytes follow; the checksum is made with LL = 2.
    ASSERT_EQ(Load(Rec(0, 0x100, {1, 2, 3, 4}, 2) + kEof), 0);
    EXPECT_EQ(rig.et()[0x103], 4);
}

TEST_F(HexReader, OddDigitCountStoresTheLastHighNibbleUncounted) {
    // ":01010000AB" + "C" + checksum of LL, address, type and 0xAB only.
    ASSERT_EQ(Load(":01010000ABC53\n" + kEof), 0);
    EXPECT_EQ(rig.et()[0x100], 0xAB);
    EXPECT_EQ(rig.et()[0x101], 0xC0);
}

TEST_F(HexReader, IndexWrapsAtTheTopOfTheSixtyFourKilobytes) {
    ASSERT_EQ(Load(Rec(0, 0xFFFF, {0x11, 0x22}) + kEof), 0);
    EXPECT_EQ(rig.et()[0xFFFF], 0x11);
    EXPECT_EQ(rig.et()[0x0000], 0x22);
    EXPECT_EQ(rig.et()[0x10000], 0x00) << "the update sums past the program space stay";
}

TEST_F(HexReader, ConfigurationRecordsFillConfigWriteThenMasked) {
    std::vector<uint8_t> all(14, 0xFF);
    ASSERT_EQ(Load(Upper(0x0030) + Rec(0, 0, all) + kEof), 0);
    EXPECT_EQ(rig.cw(), kMasks);
}

TEST_F(HexReader, ConfigurationAreaIsNeverLeftAgain) {
    // After the configuration address an upper address of 0 does not bring the
    // reader back to program memory: the record lands in ConfigWrite.
    rig.cw().fill(0);
    ASSERT_EQ(Load(Upper(0x0030) + Rec(0, 1, {0x25}) + Upper(0x0000) + Rec(0, 2, {0x0C}) + kEof), 0);
    EXPECT_EQ(rig.cw()[1], 0x25);
    EXPECT_EQ(rig.cw()[2], 0x0C);
    EXPECT_EQ(rig.et()[2], 0xFF);
}

TEST_F(HexReader, ConfigurationRecordWithBadChecksumIsAccepted) {
    rig.cw().fill(0);
    ASSERT_EQ(Load(Upper(0x0030) + BadSum(Rec(0, 5, {0x01})) + kEof), 0);
    EXPECT_EQ(rig.cw()[5], 0x01);
    EXPECT_TRUE(rig.host.log.empty());
}

TEST_F(HexReader, ConfigurationRecordThatIsNoRecordNeverReachesConfigWrite) {
    // CONFIG6H (index 11) erased is E0: write protection of the configuration and
    // the boot block off. 'Q' for its first digit would shift in 0x10, i.e. both on.
    std::vector<uint8_t> config(14, 0xFF);
    config[11] = 0xE0;
    const std::string good = Rec(0, 0, config);
    const size_t config6h = 9 + 2 * 11; // 0-based position of its high digit
    ASSERT_EQ(good.substr(config6h, 2), "E0");
    std::string stray = good, lost = good, noColon = good;
    stray[config6h] = 'Q';
    lost.erase(config6h, 1);
    noColon[0] = ';';
    struct Case {
        const char* name;
        std::string line;
        int result;
    } cases[] = {
        {"well formed", good, 0},
        {"wrong checksum only", BadSum(good), 0},
        {"non-hex digit", stray, -1},
        {"a digit lost: the byte count no longer fits", lost, -1},
        {"no colon", noColon, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        rig.host.log.clear();
        rig.cw().fill(0);
        EXPECT_EQ(Load(Upper(0x0030) + c.line + kEof), c.result);
        if (c.result == 0) {
            EXPECT_EQ(rig.cw()[11], 0xE0);
            EXPECT_TRUE(rig.host.log.empty());
        } else {
            EXPECT_EQ(rig.cw(), (std::array<uint8_t, 14>{})) << "nothing of the line stored";
            EXPECT_EQ(rig.host.log, std::vector<std::string>{"Ошибка формата или КС"});
        }
    }
}

TEST_F(HexReader, ConfigurationRecordPastTheFourteenBytesWritesNothingElse) {
    const auto before = rig.et();
    rig.cw().fill(0);
    ASSERT_EQ(Load(Upper(0x0030) + Rec(0, 12, {0xFF, 0xFF, 0xAA, 0xBB, 0xCC}) + Rec(0, 0xFFF0, {1, 2}) + kEof), 0);
    EXPECT_EQ(rig.cw()[12], 0x0F);
    EXPECT_EQ(rig.cw()[13], 0x40);
    EXPECT_EQ(rig.et(), before);
}

TEST_F(HexReader, BadChecksumOnLineKKeepsTheLinesBefore) {
    rig.cw().fill(0xFF);
    const std::string text = Upper(0) + Rec(0, 0x10, {1}) + Rec(0, 0x20, {2}) + BadSum(Rec(0, 0x30, {3})) +
                             Rec(0, 0x40, {4}) + Upper(0x30) + Rec(0, 0, {0xFF}) + kEof;
    EXPECT_EQ(Load(text), -1);
    EXPECT_EQ(rig.et()[0x10], 1);
    EXPECT_EQ(rig.et()[0x20], 2);
    EXPECT_EQ(rig.et()[0x30], 0xFF);
    EXPECT_EQ(rig.et()[0x40], 0xFF);
    EXPECT_EQ(rig.host.log, std::vector<std::string>{"Ошибка формата или КС"});
    EXPECT_EQ(rig.cw()[0], 0xFF) << "no masking after a failed load";
}

// Lines the reader refuses as a format error, whatever comes after them.
struct BadLine {
    const char* name;
    std::string line;
};
void PrintTo(const BadLine& b, std::ostream* os) { *os << b.name; }

class HexReaderBadLine : public HexReader, public ::testing::WithParamInterface<BadLine> {};

TEST_P(HexReaderBadLine, IsAFormatError) {
    const auto before = rig.et();
    EXPECT_EQ(Load(GetParam().line + Rec(0, 0x50, {7}) + kEof), -1);
    EXPECT_EQ(rig.host.log, std::vector<std::string>{"Ошибка формата или КС"});
    EXPECT_EQ(rig.et(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, HexReaderBadLine,
    ::testing::Values(
        BadLine{"Empty", "\n"},
        BadLine{"TenCharacters", ":000000000\n"},
        BadLine{"ShortExtendedAddress", ":0200000400\n"},
        BadLine{"NoColon", ";01000000AA55\n"},
        // 'G' would make 0x70 and the checksum fit; the stray character is caught on its own.
        BadLine{"NonHexDigit", ":01000000G08F\n"},
        BadLine{"UnknownRecordType", Rec(0x07, 0x0000, {0x12})},
        // "01" in the type columns is not yet an end record.
        BadLine{"EndRecordWithoutColon", ";00000001FF\n"},
        BadLine{"EndRecordWithBadChecksum", ":00000001FE\n"},
        BadLine{"EndRecordWithNonHexDigit", ":0000X001FF\n"},
        BadLine{"ExtendedAddressWithBadChecksum", BadSum(Upper(0x0000))},
        BadLine{"ExtendedAddressWithoutColon", ";" + Upper(0x0000).substr(1)},
        BadLine{"LongerThanTheReaderHandles", Rec(0, 0x0000, std::vector<uint8_t>(123, 0x5A))}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HexReader, LongestLineTheReaderHandlesLoads) {
    const std::string line = Rec(0, 0x0200, std::vector<uint8_t>(122, 0x5A));
    ASSERT_EQ(line.size(), 256u) << "255 characters and the newline";
    ASSERT_EQ(Load(line + kEof), 0);
    EXPECT_EQ(rig.et()[0x0200 + 121], 0x5A);
}

TEST_F(HexReader, IdLocationAndEepromRecordsLandNowhere) {
    const auto before = rig.et();
    rig.cw().fill(0);
    const std::string text = Upper(0x0020) + Rec(0, 0, {1, 2, 3, 4, 5, 6, 7, 8}) + Upper(0x0030) +
                             Rec(0, 1, {0x22}) + Upper(0x00F0) + Rec(0, 0, {9, 9, 9, 9}) + kEof;
    ASSERT_EQ(Load(text), 0);
    EXPECT_EQ(rig.et(), before);
    const std::array<uint8_t, 14> expected = {0, 0x22, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(rig.cw(), expected);
}

TEST_F(HexReader, DamagedEepromRecordIsStillCaught) {
    EXPECT_EQ(Load(Upper(0x00F0) + BadSum(Rec(0, 0, {1, 2})) + kEof), -1);
}

TEST_F(HexReader, AddressRecordsDoNotWriteProgramMemory) {
    const auto before = rig.et();
    ASSERT_EQ(Load(Rec(0x02, 0, {0x00, 0x00}) + Rec(0x05, 0, {0, 0, 0x03, 0}) + kEof), 0);
    EXPECT_EQ(rig.et(), before);
}

TEST_F(HexReader, BootFileOverAnUpdateChangesOnlyItsOwnBytes) {
    ASSERT_EQ(Load(Rec(0, 0x0800, {0x11, 0x22}) + Rec(0, 0x0010, {0x33}) + kEof), 0);
    const auto update = rig.et();
    WriteText(dir / "boot.hex", Rec(0, 0x0000, {0xAA, 0xBB}) + kEof);
    rig.image.BootPath4620 = dir / "boot.hex";
    ASSERT_EQ(ExecuteHex(rig.Load(), ImageKind::BootLoader), 0);
    for (size_t i = 2; i < update.size(); ++i) ASSERT_EQ(rig.et()[i], update[i]) << i;
    EXPECT_EQ(rig.Word(0), 0xBBAA);
}

TEST_F(HexReader, BootKindReadsThePathOfTheCurrentChip) {
    WriteText(dir / "b4620.hex", Rec(0, 0, {0x46}) + kEof);
    WriteText(dir / "b452.hex", Rec(0, 0, {0x45}) + kEof);
    rig.image.BootPath4620 = dir / "b4620.hex";
    rig.image.BootPath452 = dir / "b452.hex";
    rig.SetChip(true);
    ASSERT_EQ(ExecuteHex(rig.Load(), ImageKind::BootLoader), 0);
    EXPECT_EQ(rig.et()[0], 0x46);
    rig.SetChip(false);
    ASSERT_EQ(ExecuteHex(rig.Load(), ImageKind::BootLoader), 0);
    EXPECT_EQ(rig.et()[0], 0x45);
}

TEST_F(HexReader, UnreadableFileIsShownAndFails) {
    rig.image.UpdatePath = dir / "missing.hex";
    EXPECT_EQ(ExecuteHex(rig.Load(), ImageKind::Update), -1);
    ASSERT_EQ(rig.host.messages.size(), 1u);
    EXPECT_NE(rig.host.messages[0].text.find("missing.hex"), std::string::npos);
    EXPECT_EQ(rig.host.messages[0].kind, MsgKind::Error);
}

} // namespace
} // namespace mrk::test
