// How a command line with several commands is cut into commands.
#include <gtest/gtest.h>

#include "cli/Setup.h"

namespace mrk::cli {
namespace {

std::vector<std::string> Names(const std::vector<Segment>& segs) {
    std::vector<std::string> v;
    for (const auto& s : segs) {
        std::string line = s.info->name;
        for (const auto& a : s.args) line += " " + a;
        v.push_back(line);
    }
    return v;
}

TEST(CommandSplit, WordsGoToTheCommandThatCanTakeThem) {
    CommandTable table;
    RegisterAllCommands(table);
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> expect;
    } cases[] = {
        // "read" is the config command's required word, then a command of its own.
        {{"config", "read", "read", "--all"}, {"config read", "read --all"}},
        {{"load-update", "load-boot", "f.hex", "view", "--page", "0"}, {"load-update", "load-boot f.hex", "view --page 0"}},
        {{"id", "write", "1", "2", "3", "devid"}, {"id write 1 2 3", "devid"}},
        // An option's value is never taken for a command.
        {{"read", "--out", "erase", "detect"}, {"read --out erase", "detect"}},
        {{"detect", "detect"}, {"detect", "detect"}},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(Names(SplitCommands(table, c.args, error)), c.expect);
        EXPECT_EQ(error, "");
    }
}

TEST(CommandSplit, AWordBeforeAnyCommandIsAnError) {
    CommandTable table;
    RegisterAllCommands(table);
    std::string error;
    EXPECT_TRUE(SplitCommands(table, {"bogus", "detect"}, error).empty());
    EXPECT_EQ(error, "неизвестная команда: bogus");
}

} // namespace
} // namespace mrk::cli
