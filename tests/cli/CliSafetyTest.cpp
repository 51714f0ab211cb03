// mrkprog with unusual files, arguments and a faulty bench, as a new user would try it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "cli/RunMrkprog.h"

namespace mrk {
namespace {

namespace fs = std::filesystem;
using test::ReadAll;
using test::RunMrkprog;
using test::TempDir;

ino_t Inode(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? st.st_ino : 0;
}

mode_t Mode(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

TEST(CliRead, TheViewThenShowsTheChip) {
    TempDir dir;
    const auto r = RunMrkprog("--bench virtual-lpt --chip 452 read view --page 0", dir.Path());
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(r.Has("Данные кристалла.")) << r.out;
    EXPECT_FALSE(r.Has("Карта памяти программ.")) << r.out;
    // A later load points it back at the reference image.
    const auto again = RunMrkprog("--bench virtual-lpt --chip 452 read load-boot " MRK_FIRMWARE_DIR "/boot-452.hex view",
                                  dir.Path());
    ASSERT_EQ(again.code, 0) << again.out << again.err;
    EXPECT_TRUE(again.Has("Карта памяти программ.")) << again.out;
}

TEST(CliChip, IdentifiedBeforeTheFirstCommandOfARunThatTouchesIt) {
    TempDir dir;
    const auto r = RunMrkprog("--bench virtual-usb --chip 452 load-update crc devid", dir.Path());
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    const size_t open = r.out.find("Программатор Surtan успешно открыт!");
    const size_t load = r.out.find("Загружен Файл MrkVer45");
    ASSERT_NE(open, std::string::npos) << r.out;
    ASSERT_NE(load, std::string::npos) << r.out;
    EXPECT_LT(open, load) << "the load comes after the identification";
    EXPECT_EQ(r.out.find("успешно открыт", load), std::string::npos) << "found once per run";
    EXPECT_FALSE(r.ErrHas("ни одна команда не работает с кристаллом")) << r.err;
}

TEST(CliChip, ARunWithoutChipCommandsSaysWhichChipItAssumed) {
    TempDir dir;
    struct Case {
        const char* args;
        const char* said;
    } cases[] = {{"--chip 452 load-update crc", "образы берутся для PIC18F452 (--chip)"},
                 {"load-update view --page 1", "образы берутся для PIC18F4620 (--chip)"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const auto r = RunMrkprog(c.args, dir.Path());
        ASSERT_EQ(r.code, 0) << r.out << r.err;
        EXPECT_TRUE(r.ErrHas(c.said)) << r.err;
        EXPECT_FALSE(r.Has("успешно открыт")) << "nothing looked for a programmer";
    }
}

TEST(CliChip, NoChipFoundEndsTheRunBeforeItsFirstCommand) {
    TempDir dir;
    const auto r = RunMrkprog("--bench virtual-lpt --chip none load-update erase", dir.Path());
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.ErrHas("Не верно прочитался ID процессора")) << r.err;
    EXPECT_FALSE(r.Has("Загружен Файл")) << r.out;
}

TEST(CliArguments, OutOfRangeWordsAndAddressesAreRefused) {
    TempDir dir;
    struct Case {
        const char* args;
        const char* err;
    } cases[] = {
        {"--bench virtual-lpt id write '' 1 2", "не 16-битное шестнадцатеричное слово: ''"},
        {"--bench virtual-lpt id write 1 -1 2", "не 16-битное шестнадцатеричное слово: '-1'"},
        {"--bench virtual-lpt id write 1 2 -0", "'-0'"},
        {"--bench virtual-lpt id write 10000 1 2", "'10000'"},
        {"--bench virtual-lpt id write ' 1' 1 2", "' 1'"},
        {"--bench virtual-lpt id write 0x1 1 2", "'0x1'"},
        {"--bench virtual-lpt --lpt-address FFFE detect", "от 1 до FFFD"},
        {"--bench virtual-lpt --lpt-address FFFF detect", "от 1 до FFFD"},
        {"--bench virtual-lpt --fault frobnicate detect", "неизвестная неисправность стенда: frobnicate"},
        {"--bench virtual-lpt --fault kordel-absent=3 detect", "задаётся без значения"},
        {"--bench virtual-lpt --fault ftdi-unplug-after detect", "нужно значение: ftdi-unplug-after=N"},
        {"--bench virtual-lpt --fault ftdi-unplug-after=-1 detect", "не целое число"},
        {"--bench virtual-usb --fault usb-latency-us=0 detect", "не меньше 1 микросекунды"},
        {"--fault kordel-absent detect", "нужен --bench"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const auto r = RunMrkprog(c.args, dir.Path());
        EXPECT_NE(r.code, 0);
        EXPECT_TRUE(r.ErrHas(c.err)) << r.err;
        EXPECT_FALSE(r.Has("успешно открыт")) << "nothing may run";
    }
    // The highest base that leaves room for the status and control registers works.
    const auto r = RunMrkprog("--bench virtual-lpt --lpt-address FFFD id write 0 ffff 00A5 id read", dir.Path());
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(r.Has("d[1]=0 d[2]=FFFF d[3]=A5")) << r.out;
}

// Each fault mode of the bench, reached from the command line.
TEST(CliFaults, EachModeShowsAsOnTheBench) {
    TempDir dir;
    struct Case {
        const char* args;
        int code;
        const char* out;
    } cases[] = {
        {"--bench virtual-lpt --fault kordel-absent detect", 1, "Программатор Kordel к LPT не подключен."},
        {"--bench virtual-lpt --fault kordel-echo-high detect", 1, "Программатор Kordel к LPT не подключен."},
        {"--bench virtual-lpt --fault kordel-echo-low detect", 1, "Программатор Kordel к LPT не подключен."},
        {"--bench virtual-lpt --fault kordel-slow-echo=100 detect", 0, "Программатор Kordel успешно открыт!"},
        {"--bench virtual-lpt --fault kordel-slow-echo=5000 detect", 1, "Программатор Kordel к LPT не подключен."},
        // Pulled out while the update waits for the module: its ID read gets no answer.
        {"--bench virtual-lpt --fault kordel-unplug-after=200000 write-update", 1, "Связь с программатором потеряна."},
        {"--bench virtual-usb --fault ftdi-absent detect", 1, "Программатор Surtan к USB не подключен."},
        {"--bench virtual-usb --fault ftdi-wrong-description detect", 1, "Программатор Surtan к USB не подключен."},
        {"--bench virtual-usb --fault ftdi-unplug-after=40 write-update", 1, "FT_Read - General IO error..."},
        {"--bench virtual-usb --fault ftdi-short-writes id read", 0, "d[0]=FFFF"},
        {"--bench virtual-usb --fault ftdi-short-writes=1 detect", 1, "Не верно прочитался ID процессора"},
        // Pulled out while the update streams: the lost programmer, not "written".
        {"--bench virtual-usb --fault ftdi-unplug-after=150 write-update", 1, "Связь с программатором потеряна."},
        {"--bench virtual-lpt --fault kordel-unplug-after=500000 write-update", 1, "Связь с программатором потеряна."},
        {"--bench virtual-lpt --chip 4620 --fault kordel-unplug-after=2500832 write-update", 1,
         "Связь с программатором потеряна."},
        {"--bench virtual-usb --fault usb-latency-us=500 id read", 0, "d[0]=FFFF"},
        {"--bench virtual-lpt --fault no-boot-loader write-update", 1, "Нет готовности модуля."},
        {"--bench virtual-lpt --chip 452 --fault boot-loader-silent-after=3 write-update", 1, "Нет готовности модуля"},
        {"--bench virtual-usb --chip 452 --fault slow-flash=3 write-update", 0, "КС Программы OK."},
        {"--bench virtual-usb --chip 4620 --fault slow-flash=10 write-update", 0, "КС Программы OK."},
        {"--bench virtual-usb --chip 4620 --fault boot-loader-silent-after=3 write-update", 1,
         "Нет готовности модуля 4620.\na=8C0"},
        {"--bench virtual-lpt --fault slow-flash --fault kordel-slow-echo=20 write-update", 0, "КС Программы OK."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const auto r = RunMrkprog(c.args, dir.Path());
        EXPECT_EQ(r.code, c.code) << r.out << r.err;
        EXPECT_TRUE(r.Has(c.out) || r.ErrHas(c.out)) << r.out << r.err;
    }
}

class CliModuleFile : public ::testing::Test {
protected:
    test::RunResult Run(const std::string& args) { return RunMrkprog(args, dir.Path()); }
    fs::path File() const { return dir.Path() / "m.hex"; }
    TempDir dir;
};

TEST_F(CliModuleFile, ARunThatChangedNothingLeavesItAlone) {
    ASSERT_EQ(Run("--bench virtual-lpt --chip 452 --module m.hex id write 1 2 3").code, 0);
    const std::string before = ReadAll(File());
    const ino_t inode = Inode(File());
    for (const char* args : {"detect", "id read", "read --all", "compare", "devid"}) {
        SCOPED_TRACE(args);
        Run(std::string("--bench virtual-lpt --chip 452 --module m.hex ") + args);
        EXPECT_EQ(Inode(File()), inode) << "not rewritten";
    }
    EXPECT_EQ(ReadAll(File()), before);
}

TEST_F(CliModuleFile, ARewriteKeepsPermissionsAndDataEeprom) {
    ASSERT_EQ(Run("--bench virtual-lpt --chip 452 --module m.hex id write 1 2 3").code, 0);
    // Data EEPROM records, put into the saved file before its end record.
    std::string text = ReadAll(File());
    const size_t end = text.find(":00000001FF");
    ASSERT_NE(end, std::string::npos);
    text.insert(end, ":0200000400F00A\n:02001000BEEF41\n");
    std::ofstream(File(), std::ios::trunc) << text;
    ::chmod(File().c_str(), 0640);

    const auto r = Run("--bench virtual-lpt --chip 452 --module m.hex id write 4 5 6");
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    const std::string after = ReadAll(File());
    EXPECT_NE(after, text) << "rewritten with the new ID";
    EXPECT_EQ(Mode(File()), 0640u);
    EXPECT_NE(after.find(":0200000400F00A\n:10001000BEEFFFFF"), std::string::npos) << after;
}

TEST_F(CliModuleFile, AnotherChipsFileIsRefusedAndKept) {
    ASSERT_EQ(Run("--bench virtual-lpt --chip 4620 --module m.hex id write 1 2 3").code, 0);
    const std::string before = ReadAll(File());
    const auto r = Run("--bench virtual-lpt --chip 452 --module m.hex erase");
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.ErrHas("PIC18F4620")) << r.err;
    EXPECT_FALSE(r.Has("успешно открыт"));
    EXPECT_EQ(ReadAll(File()), before);
}

TEST_F(CliModuleFile, AFileThatCannotBeLookedAtOrSavedStopsTheRunFirst) {
    fs::create_symlink("loop.hex", dir.Path() / "loop.hex");
    std::ofstream(dir.Path() / "plain") << "x";
    struct Case {
        const char* module;
        const char* err;
    } cases[] = {
        {"loop.hex", "Файл модуля loop.hex: слишком много символических ссылок"},
        {"plain/m.hex", "нельзя сохранить: часть пути — не папка"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.module);
        const auto r = Run(std::string("--bench virtual-lpt --module ") + c.module + " erase");
        EXPECT_EQ(r.code, 1);
        EXPECT_TRUE(r.ErrHas(c.err)) << r.err;
        EXPECT_FALSE(r.Has("успешно открыт")) << "nothing ran";
    }
    if (::geteuid() == 0) return; // root searches and writes any folder
    fs::create_directory(dir.Path() / "closed");
    fs::create_directory(dir.Path() / "readonly");
    std::ofstream(dir.Path() / "readonly" / "m.hex") << "";
    ASSERT_EQ(Run("--bench virtual-lpt --chip 452 --module readonly/m.hex erase").code, 1) << "an empty file is no module";
    fs::remove(dir.Path() / "readonly" / "m.hex");
    ::chmod((dir.Path() / "closed").c_str(), 0);
    ::chmod((dir.Path() / "readonly").c_str(), 0555);
    auto r = Run("--bench virtual-lpt --module closed/m.hex erase");
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.ErrHas("нет доступа")) << r.err;
    EXPECT_FALSE(r.Has("успешно открыт"));
    r = Run("--bench virtual-lpt --module readonly/m.hex erase");
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.ErrHas("нельзя сохранить: нет доступа")) << r.err;
    EXPECT_FALSE(r.Has("успешно открыт"));
    ::chmod((dir.Path() / "closed").c_str(), 0755);
    ::chmod((dir.Path() / "readonly").c_str(), 0755);
}

TEST(CliReadOut, AFailedWriteKeepsTheEarlierFile) {
    TempDir dir;
    ASSERT_EQ(RunMrkprog("--bench virtual-lpt read --out chip.hex", dir.Path()).code, 0);
    const std::string earlier = ReadAll(dir.Path() / "chip.hex");
    EXPECT_NE(earlier.find(":00000001FF"), std::string::npos);
    // A folder in the way, and a path through a file, fail with a message; nothing is left behind.
    fs::create_directory(dir.Path() / "folder.hex");
    for (const char* out : {"folder.hex", "chip.hex/x.hex"}) {
        SCOPED_TRACE(out);
        const auto r = RunMrkprog(std::string("--bench virtual-lpt read --out ") + out, dir.Path());
        EXPECT_EQ(r.code, 1);
        EXPECT_TRUE(r.ErrHas("не удалось записать")) << r.err;
    }
    EXPECT_EQ(ReadAll(dir.Path() / "chip.hex"), earlier);
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir.Path())) files += e.path().filename().string()[0] == '.';
    EXPECT_EQ(files, 0) << "no temporary file left";
}

} // namespace
} // namespace mrk
