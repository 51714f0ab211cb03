// Where a station's settings file and journal are: one of each for every user and
// folder that runs the installed programs, the current folder for a build tree,
// the folder of a settings file named on the command line; and the bench's own
// journal, away from the line's numbers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/Settings.h"
#include "app/Station.h"
#include "app/StationFolders.h"
#include "journal/JournalSettings.h"
#include "support/RecordingHost.h"

namespace mrk {
namespace {

namespace fs = std::filesystem;

struct PlaceCase {
    const char* name;
    const char* given;        // --settings
    const char* programDir;   // where the running program file is
    bool configDirExists;     // the package made the station's configuration folder
    const char* settings;     // expected settings file
    const char* journalFolder;
};

class StationPlaceRule : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(StationPlaceRule, PicksTheStationsFoldersOnlyForTheInstalledPrograms) {
    const PlaceCase& c = GetParam();
    PlaceFacts f;
    f.givenSettings = c.given;
    f.currentDir = "/home/op/anywhere";
    f.programName = "/usr/bin/mrkprog-gui";
    f.programDir = c.programDir;
    f.installedBinDir = "/usr/bin";
    f.configDir = "/etc/mrkprog";
    f.dataDir = "/var/lib/mrkprog";
    f.configDirExists = c.configDirExists;
    const StationPlace p = ChoosePlace(f);
    EXPECT_EQ(p.settingsFile, c.settings);
    EXPECT_EQ(p.journalFolder, c.journalFolder);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, StationPlaceRule,
    ::testing::Values(
        // Every user, every folder: the same settings file and journal.
        PlaceCase{"InstalledStation", "", "/usr/bin", true, "/etc/mrkprog/mrkprog.ini", "/var/lib/mrkprog"},
        // The programs installed by hand without the package's folders: as before.
        PlaceCase{"InstalledWithoutStationFolders", "", "/usr/bin", false, "/home/op/anywhere/mrkprog-gui.ini",
                  "/home/op/anywhere/journal"},
        // A build tree on a station with the package installed keeps its own folder.
        PlaceCase{"BuildTree", "", "/home/dev/mrkprog/build/src/windows", true, "/home/op/anywhere/mrkprog-gui.ini",
                  "/home/op/anywhere/journal"},
        // --settings points a run elsewhere, installed or not.
        PlaceCase{"GivenSettings", "/srv/test/line.ini", "/usr/bin", true, "/srv/test/line.ini", "/srv/test"}),
    [](const auto& p) { return std::string(p.param.name); });

class StationJournalPlace : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/mrk-place-XXXXXX";
        dir_ = mkdtemp(tmpl);
    }
    void TearDown() override { fs::remove_all(dir_); }
    void WriteIni(const std::string& journal) {
        std::ofstream(dir_ / "mrkprog.ini") << "[Journal]\n" << journal;
    }
    journal::JournalSettings Opened(const std::string& bench) {
        StationOptions o;
        o.bench = bench;
        o.settingsPath = (dir_ / "mrkprog.ini").string();
        Station station(host_);
        EXPECT_TRUE(station.Open(o).Ok());
        return station.journal().Settings();
    }
    fs::path dir_;
    test::RecordingHost host_;
};

// Training on the bench never spends the line's numbers: its runs keep a journal of
// their own and reach no server, unless the settings say Bench=1.
TEST_F(StationJournalPlace, BenchRunsKeepTheirOwnJournalAwayFromTheLine) {
    WriteIni("Station=trainee-pc\nServer=host=db.factory.lan dbname=mrk\nFile=line.db\n");
    const auto production = Opened("");
    EXPECT_EQ(production.file, (dir_ / "line.db").string());
    EXPECT_EQ(production.server, "host=db.factory.lan dbname=mrk");

    const auto bench = Opened("virtual-lpt");
    EXPECT_TRUE(bench.server.empty()) << "a bench run reached the line's server";
    EXPECT_NE(bench.file, production.file);
    EXPECT_EQ(bench.file, (dir_ / "bench" / journal::kDefaultJournalFile).string());

    WriteIni("Station=demo\nServer=host=db.factory.lan dbname=mrk\nFile=line.db\nBench=1\n");
    const auto asked = Opened("virtual-lpt");
    EXPECT_EQ(asked.server, "host=db.factory.lan dbname=mrk");
    EXPECT_EQ(asked.file, (dir_ / "line.db").string());
}

// The journal's default file is in a folder of its own (never among the files
// the dialogs list); a station's older file beside its settings is still used.
TEST_F(StationJournalPlace, DefaultJournalIsInItsOwnFolderAndAnOlderOneIsKept) {
    journal::JournalPlace where;
    where.defaultFile = (dir_ / "journal" / journal::kDefaultJournalFile).string();
    where.legacyFile = (dir_ / journal::kDefaultJournalFile).string();
    const std::string ini = (dir_ / "mrkprog.ini").string();
    EXPECT_EQ(JournalSettingsOf(ini, where).file, where.defaultFile);
    std::ofstream(where.legacyFile) << "";
    EXPECT_EQ(JournalSettingsOf(ini, where).file, where.legacyFile);
    fs::create_directories(dir_ / "journal");
    std::ofstream(where.defaultFile) << "";
    EXPECT_EQ(JournalSettingsOf(ini, where).file, where.defaultFile);
}

} // namespace
} // namespace mrk
