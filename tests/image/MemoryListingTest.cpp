// The memory pages listed in the log.
#include <gtest/gtest.h>

#include "ImageRig.h"
#include "image/MemoryListing.h"

namespace mrk::test {
namespace {

struct PageCase {
    uint32_t chipWords;
    unsigned page, first, last;
};
void PrintTo(const PageCase& c, std::ostream* os) { *os << std::hex << c.chipWords << " words, page " << c.page; }

class PageBoundsTable : public ::testing::TestWithParam<PageCase> {};

TEST_P(PageBoundsTable, MatchesTheChipsTable) {
    const auto& c = GetParam();
    const PageLines lines = PageBounds(c.chipWords, c.page);
    EXPECT_EQ(lines.first, c.first);
    EXPECT_EQ(lines.last, c.last);
}

INSTANTIATE_TEST_SUITE_P(Pages, PageBoundsTable,
                         ::testing::Values(PageCase{0x8000, 0, 0, 2047}, PageCase{0x8000, 1, 2048, 4095},
                                           PageCase{0x8000, 2, 4096, 5802}, PageCase{0x8000, 3, 5803, 8191},
                                           PageCase{0x4000, 0, 0, 1023}, PageCase{0x4000, 1, 1024, 2047},
                                           PageCase{0x4000, 2, 2048, 3071}, PageCase{0x4000, 3, 3072, 4095}));

TEST(PageBounds, FourPagesCoverEveryLineOnce) {
    for (uint32_t words : {0x8000u, 0x4000u}) {
        unsigned next = 0;
        for (unsigned page = 0; page < 4; ++page) {
            const PageLines l = PageBounds(words, page);
            EXPECT_EQ(l.first, next);
            next = l.last + 1;
        }
        EXPECT_EQ(next, words / 4);
    }
}

TEST(MemoryListing, FirstPageAfterStartShowsAnErasedImage) {
    ImageRig rig(true);
    rig.host.log = {"old"};
    Okno_1_2_Str(rig.host, rig.image, rig.chip.chipWords, MemorySource::Reference, 0);
    ASSERT_EQ(rig.host.log.size(), 1u + 2048u);
    EXPECT_EQ(rig.host.log[0], "Карта памяти программ.");
    EXPECT_EQ(rig.host.log[1], "000:  FFFF   FFFF   FFFF   FFFF");
    EXPECT_EQ(rig.host.log[2048], "3FF8:  FFFF   FFFF   FFFF   FFFF");
    EXPECT_EQ(rig.host.clears, 1);
    EXPECT_FALSE(rig.host.held) << "repainting resumed";
    EXPECT_EQ(rig.host.gaugeMax, 2047);
    EXPECT_EQ(rig.host.gaugePos, 2047);
}

TEST(MemoryListing, ChipDataOfThePIC18F452LastPage) {
    ImageRig rig(false);
    for (unsigned i = 0; i < rig.image.BuffChip.size(); ++i)
        rig.image.BuffChip[i] = static_cast<uint8_t>(i ^ (i >> 8));
    Okno_1_2_Str(rig.host, rig.image, rig.chip.chipWords, MemorySource::Chip, 3);
    ASSERT_EQ(rig.host.log.size(), 1u + 1024u);
    EXPECT_EQ(rig.host.log[0], "Данные кристалла.");
    // Bytes 6000..6007: low byte first in each word.
    EXPECT_EQ(rig.host.log[1], "6000:  6160   6362   6564   6766");
    EXPECT_EQ(rig.host.log[1024], "7FF8:  8687   8485   8283   8081");
    EXPECT_EQ(rig.host.gaugeMax, 1023);
}

TEST(MemoryListing, ShortAddressesKeepThreeDigits) {
    std::array<uint8_t, 16> mem{};
    mem[8] = 0x0A;
    mem[15] = 0xB0;
    EXPECT_EQ(ListingLine(mem.data(), 1), "008:  000A   0000   0000   B000");
}

} // namespace
} // namespace mrk::test
