// mrkprog cycle / update / stamp and the settings file, as a production line runs them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli/RunMrkprog.h"

namespace mrk {
namespace {

using test::RunMrkprog;
using test::TempDir;

const std::string kFw = MRK_FIRMWARE_DIR;

void WriteSettings(const std::filesystem::path& file, const std::string& extra = "") {
    std::ofstream(file) << "[Form_Param]\nEdit2=" << kFw << "/boot-4620.hex\nEdit5=" << kFw
                        << "/boot-452.hex\nConfigChip=261\n" << extra;
}

class CliCycle : public ::testing::TestWithParam<std::tuple<const char*, const char*>> {};

TEST_P(CliCycle, ABlankModuleEndsOKWithItsNumberInTheIdLocations) {
    const auto [bench, chip] = GetParam();
    TempDir dir;
    WriteSettings(dir.Path() / "mrkprog.ini");
    const std::string common = std::string("--bench ") + bench + " --chip " + chip + " --module module.hex ";
    auto r = RunMrkprog(common + "cycle 1234", dir.Path());
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    for (const char* line : {"Конфигурация OK", "Прогр. OK", "Чтение кристала.", "Защита OK", "КС Программы OK.",
                             "Номер модуля OK.\nOK\n"})
        EXPECT_TRUE(r.Has(line)) << line << "\n" << r.out;
    // ConfigChip 261 = 0x105: its low byte 05 over the factory number 04D2.
    r = RunMrkprog(common + "id read", dir.Path());
    EXPECT_TRUE(r.Has("d[1]=4D2 d[2]=")) << r.out;
    EXPECT_NE(r.out.find(" d[3]=FFFF"), std::string::npos) << r.out;
    const auto d2 = r.out.substr(r.out.find("d[2]=") + 5, 4);
    EXPECT_EQ(std::stoul(d2, nullptr, 16) & 0xFF, 0x05u) << r.out;
}

INSTANTIATE_TEST_SUITE_P(BenchesAndChips, CliCycle, test::BenchesAndChips(), test::BenchAndChipName());

// Re-flashing a module that already holds this update over a link that loses a
// block every time: the old sums in ID word 0 must never read as this run's "OK".
TEST_P(CliCycle, AnUpdateThatBreaksOffOnAnUpdatedModuleIsAFailure) {
    const auto [bench, chip] = GetParam();
    TempDir dir;
    const std::string common = std::string("--bench ") + bench + " --chip " + chip + " --module module.hex ";
    // A new module: the demo boot loader written, then the update once, completely.
    auto r = RunMrkprog(std::string("--bench ") + bench + " --chip " + chip + " --module module.hex erase load-boot " +
                       kFw + "/boot-" + chip + ".hex boot write-update",
                   dir.Path());
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    ASSERT_TRUE(r.Has("КС Программы OK.")) << r.out;
    r = RunMrkprog(common + "--fault boot-loader-silent-after=3 write-update", dir.Path());
    EXPECT_NE(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(r.Has("Ошибка записи Программы.")) << r.out;
    EXPECT_FALSE(r.Has("КС Программы OK.")) << r.out;
    EXPECT_FALSE(r.Has("Можно подключить следующий модуль.")) << r.out;
}

TEST(CliCycle, ARefusedFactoryNumberLeavesTheModuleUntouched) {
    TempDir dir;
    WriteSettings(dir.Path() / "mrkprog.ini");
    struct Case {
        const char* number;
        int code;
        const char* err;
    } cases[] = {{"65536", 1, "Неверный заводской номер."},
                 {"65537", 1, "Неверный заводской номер."},
                 {"70000", 1, "Неверный заводской номер."},
                 {"0", 1, "Неверный заводской номер."},
                 {"''", 1, "Введите заводской номер."},
                 {"12a", 2, "только из цифр"},
                 {"-5", 2, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        const auto r = RunMrkprog(std::string("--bench virtual-lpt -v cycle ") + c.number, dir.Path());
        EXPECT_EQ(r.code, c.code) << r.out << r.err;
        EXPECT_TRUE(r.ErrHas(c.err)) << r.err;
        EXPECT_FALSE(r.Has("успешно открыт")) << "the programmer is not even opened";
    }
}

TEST(CliCycle, AMissingBootLoaderFileEndsXWithoutTouchingTheModule) {
    TempDir dir;
    std::ofstream(dir.Path() / "line.ini") << "[Form_Param]\nEdit2=/nonexistent/boot.hex\n";
    const auto r = RunMrkprog("--bench virtual-lpt --settings line.ini cycle 5", dir.Path());
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.Has("Модуль не программировался")) << r.out;
    EXPECT_TRUE(r.Has("\nX\n")) << r.out;
    EXPECT_FALSE(r.Has("Конфигурация OK"));
}

// A number whose cycle ended "X" is asked about in the window; the command line
// cannot ask: it refuses once and names the option that answers the question.
TEST(CliCycle, ARefusedRedoIsSaidOnceAndNamesSameModule) {
    TempDir dir;
    WriteSettings(dir.Path() / "mrkprog.ini");
    // The update inside the cycle breaks off: the number is the journal's, the module "X".
    const std::string cycle = "--bench virtual-lpt --module m.hex --fault boot-loader-silent-after=3 cycle 555";
    ASSERT_TRUE(RunMrkprog(cycle, dir.Path()).Has("\nX\n"));

    const auto refused = RunMrkprog(cycle, dir.Path());
    EXPECT_EQ(refused.code, 1);
    const std::string all = refused.out + refused.err;
    const std::string refusal = "Заводской номер 555 уже использован";
    ASSERT_NE(all.find(refusal), std::string::npos) << all;
    EXPECT_EQ(all.find(refusal, all.find(refusal) + 1), std::string::npos) << "said twice:\n" << all;
    EXPECT_EQ(all.find("Это тот же модуль"), std::string::npos) << "a question nobody can answer:\n" << all;
    EXPECT_TRUE(refused.ErrHas("cycle 555 --same-module")) << refused.err;

    const auto redo = RunMrkprog(cycle + " --same-module", dir.Path());
    EXPECT_TRUE(redo.Has("Модуль 555 программируется повторно.")) << redo.out << redo.err;
}

TEST(CliUpdate, UpdateOnlyAndProductionRunsAndTheSettingsFile) {
    TempDir dir;
    const auto ini = dir.Path() / "mrkprog.ini";
    std::ofstream(ini) << "; station 3\n[Form_Param]\nEdit1=c:\\mrk\\upd.hex\nAdrLpt=888\n";
    const std::string before = test::ReadAll(ini);

    auto r = RunMrkprog("--bench virtual-usb --chip 452 update", dir.Path());
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(r.Has("КС Программы OK.\nМожно подключить следующий модуль.\n")) << r.out;
    EXPECT_EQ(test::ReadAll(ini), before) << "update-only mode never writes the settings";

    r = RunMrkprog("--bench virtual-lpt update --production", dir.Path());
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    const std::string after = test::ReadAll(ini);
    EXPECT_NE(after.find("; station 3"), std::string::npos) << after;
    EXPECT_NE(after.find("Edit1=c:\\mrk\\upd.hex\n"), std::string::npos) << after;
    EXPECT_NE(after.find("Edit2=c:\\\n"), std::string::npos) << after;
    EXPECT_EQ(after.find("ConfigWrite"), std::string::npos) << after;
}

// Without the bench: the port access names the address it looked for.
TEST(CliUpdate, TheSettingsFilesPortIsWhereTheProgrammerIsLookedFor) {
    TempDir dir;
    std::ofstream(dir.Path() / "mrkprog.ini") << "[Form_Param]\nAdrLpt=632\n";
    auto r = RunMrkprog("-v detect", dir.Path());
    EXPECT_TRUE(r.ErrHas("278")) << r.err;
    r = RunMrkprog("--lpt-address 3BC -v detect", dir.Path());
    EXPECT_TRUE(r.ErrHas("3BC")) << r.err;
    EXPECT_FALSE(r.ErrHas("278")) << r.err;
    r = RunMrkprog("--settings elsewhere.ini -v detect", dir.Path());
    EXPECT_TRUE(r.ErrHas("378")) << r.err;
}

TEST(CliUpdate, AnUpdateImageThatCannotBeLoadedIsNotWritten) {
    for (const char* cmd : {"write-update", "update", "update --production"}) {
        SCOPED_TRACE(cmd);
        TempDir dir;
        // Run from a folder where no file can be made, root included: the image
        // cannot be deciphered into its temporary file there.
        const std::string module = (dir.Path() / "module.hex").string();
        auto r = RunMrkprog(std::string("--bench virtual-lpt --module ") + module + " " + cmd, dir.Path(), "/proc");
        EXPECT_NE(r.code, 0) << r.out << r.err;
        EXPECT_TRUE(r.Has("Ошибка загрузки")) << r.out;
        EXPECT_TRUE(r.Has("Обновление не записано")) << r.out;
        EXPECT_FALSE(r.Has("КС Программы OK.")) << r.out;
        EXPECT_FALSE(r.Has("Запись закончена.")) << r.out;
    }
}

TEST(CliStamp, TheDateAndNumberGoIntoIdWordsOneAndTwo) {
    TempDir dir;
    std::ofstream(dir.Path() / "mrkprog.ini") << "[Form_Param]\nConfigChip=261\n";
    const auto r =
        RunMrkprog("--bench virtual-lpt --chip 452 stamp --number 1234 --date 2026-05-15 id read", dir.Path());
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(r.Has("ModuleNumber=690504D2")) << r.out;
    EXPECT_TRUE(r.Has("d[1]=4D2 d[2]=6905 d[3]=FFFF")) << r.out;
    const auto bad = RunMrkprog("--bench virtual-lpt stamp --date 2026-13-01", dir.Path());
    EXPECT_EQ(bad.code, 2);
    EXPECT_TRUE(bad.ErrHas("не дата")) << bad.err;
}

} // namespace
} // namespace mrk

namespace mrk {
namespace {

// The settings file is named after the program as it was started: a link named
// upd reads upd.ini (not mrkprog.ini, the file the link leads to).
TEST(CliSettings, ALinkNamedUpdReadsUpdIni) {
    TempDir dir;
    std::filesystem::create_symlink(MRKPROG_PATH, dir.Path() / "upd");
    std::ofstream(dir.Path() / "upd.ini") << "[Form_Param]\nEdit2=/nonexistent/boot.hex\n";
    const std::string cmd = "cd '" + dir.Path().string() + "' && ./upd --bench virtual-lpt cycle 5 >out.txt 2>&1";
    const int status = std::system(cmd.c_str());
    const std::string out = test::ReadAll(dir.Path() / "out.txt");
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1) << out;
    EXPECT_NE(out.find("Модуль не программировался"), std::string::npos) << out;
}

// A link planted at the old fixed temporary name must not lead the close's write elsewhere.
TEST(CliSettings, ALinkPlantedBesideTheSettingsFileIsLeftAlone) {
    TempDir dir;
    WriteSettings(dir.Path() / "q.ini");
    std::ofstream(dir.Path() / "victim.txt") << "precious\n";
    std::filesystem::create_symlink(dir.Path() / "victim.txt", dir.Path() / "q.ini.tmp");
    const auto r = RunMrkprog("--bench virtual-lpt --settings q.ini cycle 5", dir.Path());
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_EQ(test::ReadAll(dir.Path() / "victim.txt"), "precious\n");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.Path() / "q.ini.tmp"));
}

} // namespace
} // namespace mrk
