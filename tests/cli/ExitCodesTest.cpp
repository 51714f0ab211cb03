// What mrkprog's exit code and stderr say after runs that went wrong on the way:
// a record under the wrong number, settings that could not be kept, output that
// could not be written. A script on the line reads only the exit code.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "cli/RunMrkprog.h"

namespace mrk::test {
namespace {

// The update fails (the programmer is pulled off before the update's own ID read)
// right after the previous module's identity was read: its record must not name it.
TEST(ExitCodes, AnUpdateIsNeverJournalledUnderTheLastModuleReadsNumber) {
    TempDir dir;
    // The bench's runs journalled where the station's reader looks.
    std::ofstream(dir.Path() / "mrkprog.ini") << "[Journal]\nStation=A\nBench=1\n";
    const auto r = RunMrkprog("--bench virtual-lpt --fault kordel-unplug-after=476000 id write 1234 5678 9ABC "
                              "id read update --production",
                              dir.Path());
    EXPECT_NE(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(r.Has("Программатор не подключен")) << r.out;
    const auto list = RunMrkprog("journal list --number 4660", dir.Path());
    ASSERT_EQ(list.code, 0) << list.err;
    EXPECT_TRUE(list.Has("Записей: 0")) << list.out;
    const auto all = RunMrkprog("journal list", dir.Path());
    EXPECT_TRUE(all.Has("Записей: 1")) << all.out << "the failed update is recorded, without a number";
}

// Production mode writes the settings at the end; a folder that cannot take the
// file (one not writable, one that is not there) loses them, and that is said and
// fails the run.
TEST(ExitCodes, SettingsThatCannotBeWrittenFailTheRun) {
    for (const bool missingFolder : {false, true}) {
        SCOPED_TRACE(missingFolder ? "missing folder" : "read-only folder");
        if (!missingFolder && geteuid() == 0) continue; // root writes any folder
        TempDir dir;
        const auto ro = dir.Path() / "ro";
        if (!missingFolder) {
            std::filesystem::create_directory(ro);
            std::ofstream(ro / "mrkprog.ini") << "[Form_Param]\nAdrLpt=888\n";
            ASSERT_EQ(chmod(ro.c_str(), 0555), 0);
        }
        const auto r = RunMrkprog("--settings ro/mrkprog.ini --bench virtual-lpt --lpt-address 3BC update --production",
                                  dir.Path());
        chmod(ro.c_str(), 0755);
        EXPECT_NE(r.code, 0) << r.out << r.err;
        EXPECT_TRUE(r.Has("КС Программы OK.")) << r.out << "the update itself went well";
        EXPECT_TRUE(r.ErrHas("Настройки не сохранены")) << r.err;
        EXPECT_TRUE(r.ErrHas("ro/mrkprog.ini")) << r.err;
        if (!missingFolder) {
            EXPECT_EQ(ReadAll(ro / "mrkprog.ini"), "[Form_Param]\nAdrLpt=888\n");
        }
    }
}

// A settings file made read-only keeps its values: said, and no failure of the run.
TEST(ExitCodes, AReadOnlySettingsFileIsKept) {
    TempDir dir;
    const auto ini = dir.Path() / "mrkprog.ini";
    std::ofstream(ini) << "[Form_Param]\nAdrLpt=888\n";
    ASSERT_EQ(chmod(ini.c_str(), 0444), 0);
    const auto r = RunMrkprog("--bench virtual-lpt --lpt-address 3BC update --production", dir.Path());
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(r.ErrHas("только для чтения")) << r.err;
    EXPECT_EQ(ReadAll(ini), "[Form_Param]\nAdrLpt=888\n");
}

// A settings file named on the command line that is not there is said (defaults,
// and where the settings will go); the run itself is not failed by it.
TEST(ExitCodes, AMistypedSettingsPathIsSaid) {
    TempDir dir;
    const auto r = RunMrkprog("--settings mrkprg.ini --bench virtual-lpt detect", dir.Path());
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(r.ErrHas("mrkprg.ini не существует")) << r.err;
    EXPECT_TRUE(r.ErrHas("значения по умолчанию")) << r.err;
}

// Output that never reached its file is a failure, whatever the command did.
TEST(ExitCodes, OutputThatCannotBeWrittenFailsTheRun) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    TempDir dir;
    std::ofstream(dir.Path() / "mrkprog.ini") << "[Journal]\nStation=A\nBench=1\n";
    // A journal with a record to list.
    ASSERT_EQ(RunMrkprog("--bench virtual-lpt update", dir.Path()).code, 0);
    const std::string mrkprog = MRKPROG_PATH, mrkcrypt = MRKCRYPT_PATH;
    for (const std::string& args : {mrkprog + " journal list", mrkprog + " --version", mrkprog + " --help",
                                    mrkcrypt + " --version"}) {
        SCOPED_TRACE(args);
        const std::string cmd = "cd '" + dir.Path().string() + "' && " + args + " >/dev/full 2>'" +
                                (dir.Path() / "err.txt").string() + "'";
        const int status = std::system(cmd.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_NE(WEXITSTATUS(status), 0);
        EXPECT_NE(ReadAll(dir.Path() / "err.txt").find("не записан"), std::string::npos)
            << ReadAll(dir.Path() / "err.txt");
    }
}

} // namespace
} // namespace mrk::test
