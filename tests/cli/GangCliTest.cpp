// Several Surtans on one station: what is attached (programmers), a Surtan chosen
// by its serial number (--programmer), two programs side by side on one station
// folder, the gang run, and the line's next free number (cycle --next).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "cli/RunMrkprog.h"

namespace mrk {
namespace {

using test::RunMrkprog;
using test::RunShell;
using test::TempDir;

const std::string kFw = MRK_FIRMWARE_DIR;

// The station's settings, its bench runs journalled where `journal` reads.
void WriteSettings(const std::filesystem::path& dir, const std::string& journal = "") {
    std::ofstream(dir / "mrkprog.ini") << "[Form_Param]\nEdit2=" << kFw << "/boot-4620.hex\nEdit5=" << kFw
                                       << "/boot-452.hex\nConfigChip=261\n[Journal]\nStation=A\nBench=1\n" << journal;
}

// The journal's export, one line per record.
std::vector<std::string> ExportedRows(const std::filesystem::path& dir) {
    EXPECT_EQ(RunMrkprog("journal export --csv out.csv", dir).code, 0);
    std::ifstream f(dir / "out.csv");
    std::vector<std::string> rows;
    for (std::string line; std::getline(f, line);) rows.push_back(line);
    return rows;
}

// The record of a cycle on that number, as exported; empty when there is none.
std::string RowOf(const std::vector<std::string>& rows, int number) {
    for (const auto& r : rows)
        if (r.find(",OK," + std::to_string(number) + ",") != std::string::npos) return r;
    return {};
}

TEST(Programmers, ListsEveryVirtualSurtanAndMarksTheChosenOne) {
    TempDir dir;
    const auto r = RunMrkprog("--bench virtual-usb --programmer VRT00003 programmers", dir.Path());
    EXPECT_EQ(r.code, 0) << r.err;
    for (const char* line : {"\"Surtan\", серийный номер VRT00001: программатор Surtan\n",
                             "\"Surtan\", серийный номер VRT00002: программатор Surtan\n",
                             "\"Surtan\", серийный номер VRT00003: программатор Surtan, выбран для этой программы\n",
                             "\"Surtan\", серийный номер VRT00004: программатор Surtan\n",
                             "на виртуальном стенде virtual-usb программатора Kordel нет"})
        EXPECT_TRUE(r.Has(line)) << line << "\n" << r.out;
    // Without a choice the first Surtan is the one used, as on a station with one.
    const auto first = RunMrkprog("--bench virtual-usb programmers", dir.Path());
    EXPECT_TRUE(first.Has("VRT00001: программатор Surtan, выбран для этой программы")) << first.out;
}

TEST(Programmers, RefusalsSayWhatIsWrong) {
    struct Case {
        const char* args;
        int code;
        const char* says;
    };
    const Case cases[] = {
        {"--bench virtual-usb --programmer VRT00009 cycle 5", 1,
         "Программатор Surtan с серийным номером VRT00009 не подключен (подключены: VRT00001, VRT00002, VRT00003, VRT00004"},
        {"--bench virtual-lpt --programmer VRT00001 detect", 2, "--programmer выбирает программатор Surtan"},
        {"--programmer 'A B' detect", 2, "без пробелов"},
        {"--bench virtual-usb gang --programmers VRT00001,VRT00002 cycle 1", 2, "по одному заводскому номеру"},
        {"--bench virtual-usb gang --programmers VRT00001,VRT00001 cycle 1 2", 2, "VRT00001 указан дважды"},
        {"--bench virtual-usb gang --programmers VRT00001,VRT00002 cycle 7 7", 2, "номер 7 указан дважды"},
        {"--bench virtual-usb --module m.hex gang --programmers VRT00001,VRT00002 cycle 1 2", 2, "{serial}"},
        {"--bench virtual-usb --programmer VRT00001 gang --programmers VRT00002 cycle 1", 2, "--programmers"},
        {"--bench virtual-usb cycle --next", 2, "не задан диапазон номеров"},
        {"--bench virtual-usb cycle", 2, "нужен заводской номер модуля или --next"},
        {"--bench virtual-usb cycle 5 --next", 2, "либо номер, либо --next"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        TempDir dir;
        WriteSettings(dir.Path());
        const auto r = RunMrkprog(c.args, dir.Path());
        EXPECT_EQ(r.code, c.code) << r.out << r.err;
        EXPECT_TRUE(r.ErrHas(c.says)) << r.err;
    }
}

TEST(Programmers, NumbersRangeThatIsNotOneIsRefused) {
    TempDir dir;
    WriteSettings(dir.Path(), "Numbers=20-10\n");
    const auto r = RunMrkprog("--bench virtual-usb cycle --next", dir.Path());
    EXPECT_EQ(r.code, 1) << r.out << r.err;
    EXPECT_TRUE(r.ErrHas("Numbers= должно быть диапазоном номеров ОТ-ДО, от 1 до 65535 (например 1000-1999); указано 20-10"))
        << r.err;
}

// Two programs at once on one station folder, each with its own Surtan and module
// file: both modules are made, each record names its own programmer; and one number
// asked for on both at once goes to one module only.
TEST(TwoPrograms, SideBySideOnOneStationKeepTheirModulesAndNumbersApart) {
    TempDir dir;
    WriteSettings(dir.Path());
    const std::string m = "'" MRKPROG_PATH "' --bench virtual-usb --module 'mod-{serial}.hex' ";
    auto both = [&](const std::string& a, const std::string& b) {
        return RunShell("cd '" + dir.Path().string() + "' && ( { " + m + a + " > a.out 2>&1; echo $? > a.rc; } & { " + m +
                            b + " > b.out 2>&1; echo $? > b.rc; } & wait )",
                        dir.Path());
    };
    auto rc = [&](const char* name) { return std::stoi(test::ReadAll(dir.Path() / name)); };
    both("--programmer VRT00001 cycle 3001", "--programmer VRT00002 cycle 3002");
    EXPECT_EQ(rc("a.rc"), 0) << test::ReadAll(dir.Path() / "a.out");
    EXPECT_EQ(rc("b.rc"), 0) << test::ReadAll(dir.Path() / "b.out");
    // Each module holds its own number (ConfigChip 0x105 over it): 3001 = BB9, 3002 = BBA.
    auto id = RunMrkprog("--bench virtual-usb --programmer VRT00002 --module 'mod-{serial}.hex' id read", dir.Path());
    EXPECT_TRUE(id.Has("d[1]=BBA")) << id.out;
    id = RunMrkprog("--bench virtual-usb --programmer VRT00001 --module 'mod-{serial}.hex' id read", dir.Path());
    EXPECT_TRUE(id.Has("d[1]=BB9")) << id.out;
    const auto rows = ExportedRows(dir.Path());
    EXPECT_NE(RowOf(rows, 3001).find(",USB Surtan,VRT00001,"), std::string::npos) << RowOf(rows, 3001);
    EXPECT_NE(RowOf(rows, 3002).find(",USB Surtan,VRT00002,"), std::string::npos) << RowOf(rows, 3002);

    // The same number on both at once: one module gets it, the other run is refused.
    both("--programmer VRT00003 cycle 3003", "--programmer VRT00004 cycle 3003");
    EXPECT_EQ((rc("a.rc") == 0) + (rc("b.rc") == 0), 1)
        << test::ReadAll(dir.Path() / "a.out") << test::ReadAll(dir.Path() / "b.out");
    const std::string refused = test::ReadAll(dir.Path() / (rc("a.rc") == 0 ? "b.out" : "a.out"));
    EXPECT_NE(refused.find("Заводской номер 3003"), std::string::npos) << refused;
    EXPECT_NE(refused.find("цикл не запущен"), std::string::npos) << refused;
}

TEST(Gang, EachProgrammerHasItsOwnResultAndExitStatus) {
    TempDir dir;
    WriteSettings(dir.Path());
    const auto r = RunMrkprog(
        "--bench virtual-usb --module 'mod-{serial}.hex' gang --programmers VRT00001,VRT00009 cycle 4001 4002", dir.Path());
    EXPECT_EQ(r.code, 1) << r.out << r.err;
    EXPECT_TRUE(r.Has("[VRT00001] Программатор Surtan успешно открыт!")) << r.out;
    EXPECT_TRUE(r.Has("\nИтог:\n  VRT00001: номер 4001, OK, код 0, ")) << r.out;
    EXPECT_TRUE(std::regex_search(r.out, std::regex("VRT00009: номер 4002, цикл не выполнен, код 1, .* — mrkprog: "
                                                    "Программатор Surtan с серийным номером VRT00009 не подключен")))
        << r.out;
    EXPECT_TRUE(r.Has("Модулей: 2, OK: 1, не OK: 1")) << r.out;
    // The gang's own process keeps no module: the member's file holds the member's cycle.
    const auto id = RunMrkprog("--bench virtual-usb --programmer VRT00001 --module 'mod-{serial}.hex' id read", dir.Path());
    EXPECT_TRUE(id.Has("d[1]=FA1")) << id.out;
}

// [Journal] Numbers=: a gang takes two different numbers at once, the next cycle the
// one after, and a range used up is refused.
TEST(Gang, NextFreeNumbersOfTheLineGoToOneModuleEach) {
    TempDir dir;
    WriteSettings(dir.Path(), "Numbers=5000-5002\n");
    auto r = RunMrkprog("--bench virtual-usb --module 'mod-{serial}.hex' gang --programmers VRT00001,VRT00002 cycle --next",
                        dir.Path());
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    const bool firstGotLowest = r.Has("VRT00001: номер 5000, OK");
    EXPECT_TRUE(firstGotLowest ? r.Has("VRT00002: номер 5001, OK") : r.Has("VRT00002: номер 5000, OK") && r.Has("VRT00001: номер 5001, OK"))
        << r.out;
    r = RunMrkprog("--bench virtual-usb --programmer VRT00003 --module 'mod-{serial}.hex' cycle --next", dir.Path());
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(r.Has("Заводской номер: 5002\n")) << r.out;
    r = RunMrkprog("--bench virtual-usb --programmer VRT00004 --module 'mod-{serial}.hex' cycle --next", dir.Path());
    EXPECT_EQ(r.code, 1) << r.out << r.err;
    EXPECT_TRUE(r.ErrHas("Все номера диапазона 5000-5002 ([Journal] Numbers=) заняты")) << r.err;
    const auto rows = ExportedRows(dir.Path());
    for (int n : {5000, 5001, 5002}) EXPECT_FALSE(RowOf(rows, n).empty()) << n;
}

} // namespace
} // namespace mrk
