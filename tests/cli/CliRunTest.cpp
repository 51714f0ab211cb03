// mrkprog as a technician runs it, on the virtual benches.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/RunMrkprog.h"

namespace mrk {
namespace {

using test::RunMrkprog;
using test::TempDir;

const std::string kFw = MRK_FIRMWARE_DIR;

TEST(Cli, DetectIdentifiesTheChipOrSaysWhyNot) {
    struct Case {
        const char* args;
        int code;
        const char* out1;
        const char* out2;
        const char* err;
    } cases[] = {
        {"--bench virtual-lpt detect", 0, "Программатор Kordel успешно открыт!", "PIC18F4620, LPT", ""},
        {"--bench virtual-lpt --chip 452 detect", 0, "Devid1=", "PIC18F452, LPT", ""},
        {"--bench virtual-lpt --chip none detect", 1, "Devid1=FF Devid2=FF a=101", "Kordel успешно открыт",
         "Не верно прочитался ID процессора"},
        {"--bench virtual-usb --chip 452 detect", 0, "Программатор Surtan успешно открыт!", "PIC18F452, USB", ""},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const auto r = RunMrkprog(c.args, dir.Path());
        EXPECT_EQ(r.code, c.code) << r.out << r.err;
        EXPECT_TRUE(r.Has(c.out1)) << r.out;
        EXPECT_TRUE(r.Has(c.out2)) << r.out;
        EXPECT_TRUE(r.ErrHas(c.err)) << r.err;
    }
}

TEST(Cli, CommandLineMistakesAreRefusedBeforeTouchingAnything) {
    TempDir dir;
    struct Case {
        const char* args;
        const char* err;
    } cases[] = {
        {"--bench virtual-lpt frobnicate", "неизвестная команда: frobnicate"},
        {"--bench virtual-lpt", "не задано ни одной команды"},
        {"--chip 999 detect", "--chip"},
        {"--bench virtual-lpt id write 1 2", "нужны три слова"},
        {"--bench virtual-lpt id write 1 2 XYZ", "не 16-битное шестнадцатеричное слово: 'XYZ'"},
        {"--module m.hex detect", "нужен --bench"},
        {"--bench virtual-lpt config erase", "config"},
        {"--bench virtual-lpt config write", "конфигурация не загружена"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const auto r = RunMrkprog(c.args, dir.Path());
        EXPECT_NE(r.code, 0);
        EXPECT_TRUE(r.ErrHas(c.err) || r.Has(c.err)) << r.out << r.err;
        EXPECT_FALSE(r.Has("успешно открыт")) << "nothing may run";
    }
}

TEST(Cli, ADamagedModuleFileIsReportedAndKept) {
    TempDir dir;
    const auto file = dir.Path() / "module.hex";
    {
        std::ofstream f(file);
        f << ":10000000FFFFZZ\n";
    }
    const auto r = RunMrkprog("--bench virtual-lpt --module module.hex detect", dir.Path());
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.ErrHas("module.hex")) << r.err;
    EXPECT_EQ(test::ReadAll(file), ":10000000FFFFZZ\n");
}

TEST(Cli, ABootLoaderFileCutShortIsNeverWritten) {
    // The first 30 lines of the demo boot loader: its end record and about half its code are missing.
    for (const char* chip : {"452", "4620"}) {
        const std::string whole = test::ReadAll(kFw + "/boot-" + chip + ".hex");
        std::istringstream full(whole);
        std::string cut, line;
        int lines = 0;
        while (std::getline(full, line)) {
            if (++lines <= 30) cut += line + "\n";
        }
        ASSERT_GT(lines, 45) << chip;
        struct Case {
            const char* name;
            std::string text;
        } cases[] = {{"first 30 lines", cut}, {"empty file", ""},
                                  // "01" in the type columns of a line with a wrong checksum, then the whole file.
                                  {"damaged end record first", ":00000001FE\n" + whole}};
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(chip) + ", " + c.name);
            TempDir dir;
            {
                std::ofstream f(dir.Path() / "boot.hex");
                f << c.text;
            }
            const auto r = RunMrkprog(std::string("--bench virtual-lpt --chip ") + chip +
                                          " --module module.hex erase load-boot boot.hex boot",
                                      dir.Path());
            EXPECT_NE(r.code, 0) << r.out << r.err;
            EXPECT_TRUE(r.Has("Ошибка формата или КС")) << r.out;
            EXPECT_TRUE(r.Has("\nОшибка загрузки boot.hex")) << r.out;
            EXPECT_FALSE(r.Has("Прогр. OK")) << r.out;
        }
    }
}

// A blank module prepared completely, in invocations that chain through the module file.
class CliProduction : public ::testing::TestWithParam<std::tuple<const char*, const char*>> {};

TEST_P(CliProduction, BlankModuleToProtectedUpdatedModule) {
    const auto [bench, chip] = GetParam();
    TempDir dir;
    const std::string common = std::string("--bench ") + bench + " --chip " + chip + " --module module.hex ";

    auto r = RunMrkprog(common + "erase load-boot " + kFw + "/boot-" + chip + ".hex boot compare", dir.Path());
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(r.Has("Прогр. OK"));
    EXPECT_TRUE(r.Has("Сравнение ОК"));

    const std::string loadBoot = "load-boot " + kFw + "/boot-" + chip + ".hex ";
    r = RunMrkprog(common + loadBoot + "config write --preset 1 write-update id write 4D2 A405 FFFF", dir.Path());
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(r.Has("Конфигурация OK"));
    EXPECT_TRUE(r.Has("КС Программы OK."));

    r = RunMrkprog(common + "read --all --out before.hex " + loadBoot +
                       "config write --preset 2 read --all --out after.hex id read",
                   dir.Path());
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(r.Has("Защита OK"));
    EXPECT_TRUE(r.Has("d[1]=4D2 d[2]=A405 d[3]=FFFF")) << r.out;
    // Before protection the update is there to read; after it the chip shows only zeros,
    // so every 0xFF-free line of the read-back is gone from the saved HEX but the EOF record.
    const std::string before = test::ReadAll(dir.Path() / "before.hex");
    const std::string after = test::ReadAll(dir.Path() / "after.hex");
    EXPECT_GT(before.size(), 1000u);
    EXPECT_NE(before, after);
    EXPECT_NE(after.find(":1000000000000000000000000000000000000000F0"), std::string::npos)
        << "protected boot block reads as zeros";

    // The saved module is a HEX file any tool can read: it holds the boot loader's mark.
    const std::string module = test::ReadAll(dir.Path() / "module.hex");
    EXPECT_NE(module.find(":020000040020DA"), std::string::npos) << "ID locations saved";
    r = RunMrkprog(common + "compare", dir.Path());
    EXPECT_EQ(r.code, 1) << "a protected module no longer compares equal";
}

INSTANTIATE_TEST_SUITE_P(BenchesAndChips, CliProduction, test::BenchesAndChips(), test::BenchAndChipName());

} // namespace
} // namespace mrk
