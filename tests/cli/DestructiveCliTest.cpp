// mrkprog's commands that change a module for good, and the files it reads and
// writes: nothing is written without what it needs, a failure is never said to
// be done, and files are neither read without bound nor written through links.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli/RunMrkprog.h"

namespace mrk {
namespace {

namespace fs = std::filesystem;
using test::RunMrkprog;
using test::TempDir;

const std::string kFw = MRK_FIRMWARE_DIR;

class CliDestructive : public ::testing::TestWithParam<std::tuple<const char*, const char*>> {
protected:
    std::string Common() const {
        const auto [bench, chip] = GetParam();
        return std::string("--bench ") + bench + " --chip " + chip + " --module module.hex ";
    }
    std::string BootFile() const { return kFw + "/boot-" + std::get<1>(GetParam()) + ".hex"; }
    TempDir dir;
};

// A module with its boot loader, kept in its file: `boot` without a boot image
// loaded since the reference image was last refilled leaves the file as it was.
TEST_P(CliDestructive, BootWithoutABootImageLeavesTheModuleFileAsItWas) {
    auto r = RunMrkprog(Common() + "erase load-boot " + BootFile() + " boot", dir.Path());
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    ASSERT_TRUE(r.Has("Прогр. OK")) << r.out;
    const std::string before = test::ReadAll(dir.Path() / "module.hex");
    for (const std::string& cmds : {std::string("boot"), std::string("load-update boot"),
                                    "load-boot " + BootFile() + " load-update boot"}) {
        SCOPED_TRACE(cmds);
        r = RunMrkprog(Common() + cmds, dir.Path());
        EXPECT_NE(r.code, 0);
        EXPECT_TRUE(r.Has("Файл BOOT загрузчика не загружен. Запись \"BOOT\" не выполнена.")) << r.out;
        EXPECT_FALSE(r.Has("Прогр. OK")) << r.out;
        EXPECT_EQ(test::ReadAll(dir.Path() / "module.hex"), before);
    }
}

// A stamped module keeps its number: a second stamp with another number is
// refused and says so, the same number again is no failure.
TEST_P(CliDestructive, ASecondStampTellsTheTruth) {
    const std::string date = " --date 2026-05-15";
    auto r = RunMrkprog(Common() + "stamp --number 1234" + date, dir.Path());
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(r.Has("слова ID 1-3 записаны: 04D2 6900 FFFF")) << r.out;
    r = RunMrkprog(Common() + "stamp --number 4321" + date, dir.Path());
    EXPECT_EQ(r.code, 1) << r.out << r.err;
    EXPECT_TRUE(r.Has("Номер модуля уже записан (d[1]=4D2 d[2]=6900 d[3]=FFFF).")) << r.out;
    EXPECT_FALSE(r.Has("записаны")) << r.out;
    r = RunMrkprog(Common() + "stamp --number 1234" + date + " id read", dir.Path());
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(r.Has("уже содержат 04D2 6900 FFFF")) << r.out;
    EXPECT_TRUE(r.Has("d[1]=4D2 d[2]=6900 d[3]=FFFF")) << r.out;
    // After a bulk erase the module takes a new number.
    r = RunMrkprog(Common() + "erase stamp --number 4321" + date + " id read", dir.Path());
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(r.Has("d[1]=10E1 d[2]=6900 d[3]=FFFF")) << r.out;
}

INSTANTIATE_TEST_SUITE_P(BenchesAndChips, CliDestructive, test::BenchesAndChips(), test::BenchAndChipName());

// Inputs larger than any image of these chips are refused by their size (sparse
// files: a gigabyte that costs no disk), with a message naming the limit.
TEST(CliInputs, FilesLargerThanAnyImageAreRefused) {
    TempDir dir;
    for (const char* name : {"big.hex", "big.crp", "big.ini", "module.hex"}) {
        std::ofstream(dir.Path() / name).close();
        fs::resize_file(dir.Path() / name, uintmax_t{1} << 30);
    }
    struct Case {
        const char* args;
        int code;
    } cases[] = {
        {"--bench virtual-lpt load-update big.hex", 1},
        {"--bench virtual-lpt load-boot big.crp", 1},
        {"--bench virtual-lpt load-boot big.hex", 1},
        {"--bench virtual-lpt --module module.hex detect", 1},
        {"--bench virtual-lpt --settings big.ini detect", 0}, // the defaults stand
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const auto r = RunMrkprog(c.args, dir.Path());
        EXPECT_EQ(r.code, c.code) << r.out << r.err;
        EXPECT_TRUE(r.ErrHas("больше 4 МБ")) << r.err;
    }
    EXPECT_EQ(fs::file_size(dir.Path() / "module.hex"), uintmax_t{1} << 30) << "the module file is left alone";
}

// The module file and `read --out` are written through a temporary file beside
// them: a link planted at its name is not followed, the file it names keeps its text.
TEST(CliOutputs, ALinkPlantedAtATemporaryNameIsLeftAlone) {
    TempDir dir;
    const auto victim = dir.Path() / "victim.txt";
    std::ofstream(victim) << "keep me";
    for (const char* link : {".module.hex.tmp", ".chip.hex.tmp"}) fs::create_symlink(victim, dir.Path() / link);
    const auto r = RunMrkprog("--bench virtual-usb --chip 452 --module module.hex stamp --number 5 read --all --out chip.hex",
                              dir.Path());
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_EQ(test::ReadAll(victim), "keep me");
    for (const char* link : {".module.hex.tmp", ".chip.hex.tmp"}) EXPECT_TRUE(fs::is_symlink(dir.Path() / link));
    EXPECT_NE(test::ReadAll(dir.Path() / "module.hex").find(":00000001FF"), std::string::npos);
    EXPECT_NE(test::ReadAll(dir.Path() / "chip.hex").find(":00000001FF"), std::string::npos);
}

} // namespace
} // namespace mrk
