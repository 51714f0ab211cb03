// mrkprog config describe: the bit descriptions for the chip of the run.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "cli/RunMrkprog.h"
#include "image/HexRecords.h"

namespace mrk {
namespace {

using test::RunMrkprog;
using test::TempDir;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

// The lines that follow `header` in the output, up to the next blank line or header.
std::vector<std::string> Section(const std::string& out, const std::string& header) {
    const auto all = Lines(out);
    std::vector<std::string> sec;
    bool in = false;
    for (const auto& l : all) {
        if (in && (l.empty() || l.rfind("CONFIG", 0) == 0)) break;
        if (in) sec.push_back(l);
        if (l == header) in = true;
    }
    return sec;
}

TEST(CliConfigDescribe, ListsTheRegisterForTheChipOfTheRun) {
    TempDir dir;
    // Named by --chip, nothing touching a programmer.
    auto r = RunMrkprog("--chip 452 config describe CONFIG3H", dir.Path());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Section(r.out, "CONFIG3H 300005h (PIC18F452)"),
              (std::vector<std::string>{"Бит 0", "CCP2MX* CCP2 MUX bit",
                                        "1 = CCP2 input/output is multiplexed with RC1",
                                        "0 = CCP2 input/output is multiplexed with RB3"}));
    EXPECT_TRUE(r.ErrHas("конфигурация не загружена")) << r.err;

    // Identified on the bench; lower-case register names are accepted.
    r = RunMrkprog("--bench virtual-lpt --chip 4620 detect config describe config3h", dir.Path());
    EXPECT_EQ(r.code, 0) << r.err;
    const auto sec = Section(r.out, "CONFIG3H 300005h (PIC18F4620)");
    ASSERT_EQ(sec.size(), 17u) << r.out;
    EXPECT_EQ(sec[0], "Бит 7");
    EXPECT_EQ(sec[16], "0 = CCP2 input/output is multiplexed with RB3");

    // all: fourteen sections.
    r = RunMrkprog("--chip 4620 config describe", dir.Path());
    EXPECT_EQ(r.code, 0) << r.err;
    int headers = 0;
    for (const auto& l : Lines(r.out)) headers += l.rfind("CONFIG", 0) == 0 && l.find("(PIC18F4620)") != std::string::npos;
    EXPECT_EQ(headers, 14);
    EXPECT_EQ(Section(r.out, "CONFIG4H 300007h (PIC18F4620)"), std::vector<std::string>{"Резерв."});
}

TEST(CliConfigDescribe, ShowsTheBitsOfTheLoadedByte) {
    TempDir dir;
    std::vector<uint8_t> config(14, 0xFF);
    config[9] = 0xC0;  // CONFIG5H
    config[5] = 0x81;  // CONFIG3H: the program writes only its bit 0
    {
        std::ofstream f(dir.Path() / "cfg.hex");
        f << test::Upper(0x0030) << test::Rec(0x00, 0x0000, config) << test::kEof;
    }
    const auto r = RunMrkprog("--chip 4620 load-boot cfg.hex config describe CONFIG5H config describe CONFIG3H",
                              dir.Path());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Section(r.out, "CONFIG5H 300009h = 11000000 (PIC18F4620)").size(), 8u) << r.out;
    EXPECT_EQ(Section(r.out, "CONFIG3H 300005h = 00000001 (PIC18F4620)").size(), 17u) << r.out;
    EXPECT_FALSE(r.ErrHas("конфигурация не загружена")) << r.err;
}

TEST(CliConfigDescribe, MistakesAreSaid) {
    TempDir dir;
    struct Case {
        const char* args;
        const char* err;
    } cases[] = {
        {"--chip 4620 config describe CONFIG8L", "нет такого регистра конфигурации"},
        {"--chip none config describe CONFIG1L", "кристалл неизвестен"},
        {"--chip 4620 config read CONFIG1L", "только с describe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const auto r = RunMrkprog(c.args, dir.Path());
        EXPECT_EQ(r.code, 2);
        EXPECT_TRUE(r.ErrHas(c.err)) << r.err;
    }
}

} // namespace
} // namespace mrk
