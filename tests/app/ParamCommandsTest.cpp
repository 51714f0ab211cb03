// "DateTime" and "Установить": the date of manufacture in the module number,
// and the identity written into ID words 1-3.
#include <gtest/gtest.h>

#include "app/CommandRig.h"
#include "app/ParamCommands.h"
#include "app/ChipRoutines.h"

namespace mrk {
namespace {

using namespace std::chrono;

TEST(ParamCommands, TheDateStampSetsQuarterAndYearAndClearsTheKFlag) {
    struct Case {
        uint32_t before;
        int y;
        unsigned m;
        uint32_t after;
    } cases[] = {
        {0x00012345, 2026, 5, 0x69012345},  // quarter 1, year 26
        {0x80012345, 2026, 5, 0x69012345},  // K flag cleared
        {0xFFFFFFFF, 2000, 1, 0x00FFFFFF},  // quarter 0, year 0
        {0x00000001, 2010, 3, 0x28000001},
        {0x00000001, 2010, 4, 0x29000001},
        {0x00000001, 2031, 12, 0x7F000001}, // quarter 3, year 31
        {0x00000001, 2032, 9, 0x02000001},  // the year keeps 5 bits
    };
    for (const auto& c : cases)
        EXPECT_EQ(StampDate(c.before, year_month_day{year{c.y}, month{c.m}, day{1}}), c.after)
            << std::hex << c.before << " " << std::dec << c.y << "-" << c.m;
}

TEST(ParamCommands, DateTimeUsesTheInjectedDate) {
    test::RecordingHost host;
    Context ctx(host);
    ctx.commands.ModuleNumber = 0x80012345;
    ctx.commands.Today = [] { return year_month_day{year{2026}, month{5}, day{15}}; };
    ParamDateTimeClick(ctx);
    EXPECT_EQ(ctx.commands.ModuleNumber, 0x69012345u);
}

TEST(ParamCommands, UstanovitWritesTheNumberIntoIdWordsOneAndTwoAndLeavesWordZero) {
    for (auto kind : {sim::BenchKind::VirtualLpt, sim::BenchKind::VirtualUsb}) {
        for (auto chip : {sim::ChipModel::PIC18F4620, sim::ChipModel::PIC18F452}) {
            SCOPED_TRACE(std::string(test::KindName(kind)) + " " + test::ChipName(chip));
            test::CommandRig r(test::CommandRig::Factory(chip, kind));
            ASSERT_TRUE(OpenProgrammer(r.ctx));
            r.host.log.clear();
            r.Module().Poke(0x200000, 0x34);
            r.Module().Poke(0x200001, 0x12);
            r.ctx.commands.ModuleNumber = 0x80012345; // "Set K", then "Установить"
            ParamUstanovitClick(r.ctx);
            EXPECT_EQ(r.ctx.commands.ModuleNumber, 0x69012345u);
            EXPECT_TRUE(r.host.log.empty()) << "nothing is reported";
            r.Settle();
            EXPECT_EQ(r.IdWord(0), 0x1234);
            EXPECT_EQ(r.IdWord(1), 0x2345);
            EXPECT_EQ(r.IdWord(2), 0x6901);
            EXPECT_EQ(r.IdWord(3), 0xFFFF);
        }
    }
}

} // namespace
} // namespace mrk
