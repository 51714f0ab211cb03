#include "app/StationFolders.h"

#include <unistd.h>

#include <filesystem>

#include "app/Settings.h"

#ifndef MRK_STATION_CONFIG_DIR
#define MRK_STATION_CONFIG_DIR "/etc/mrkprog"
#endif
#ifndef MRK_STATION_DATA_DIR
#define MRK_STATION_DATA_DIR "/var/lib/mrkprog"
#endif
#ifndef MRK_PACKAGE_BINDIR
#define MRK_PACKAGE_BINDIR "/usr/bin"
#endif

namespace mrk {

namespace fs = std::filesystem;

namespace {

constexpr const char* kStationSettings = "mrkprog.ini";
constexpr const char* kJournalFile = "mrkprog-journal.db";

std::string Parent(const std::string& file) {
    const auto p = fs::path(file).parent_path();
    return p.empty() ? "." : p.string();
}

} // namespace

const char* StationConfigDir() { return MRK_STATION_CONFIG_DIR; }
const char* StationDataDir() { return MRK_STATION_DATA_DIR; }

StationPlace ChoosePlace(const PlaceFacts& f) {
    StationPlace p;
    if (!f.givenSettings.empty()) {
        p.settingsGiven = true;
        p.settingsFile = f.givenSettings;
        p.journalFolder = p.relativeBase = Parent(f.givenSettings);
        return p;
    }
    std::error_code ec;
    const bool installed = !f.programDir.empty() && !f.installedBinDir.empty() &&
                           fs::weakly_canonical(f.programDir, ec) == fs::weakly_canonical(f.installedBinDir, ec);
    if (installed && f.configDirExists) {
        p.installedStation = true;
        p.settingsFile = (fs::path(f.configDir) / kStationSettings).string();
        p.journalFolder = p.relativeBase = f.dataDir;
        return p;
    }
    p.settingsFile = IniPathFor(f.currentDir, f.programName);
    p.relativeBase = Parent(p.settingsFile);
    // A folder of its own: the file dialogs that browse the settings' folder never list its files.
    p.journalFolder = (fs::path(p.relativeBase) / "journal").string();
    p.legacyJournalFile = (fs::path(p.relativeBase) / kJournalFile).string();
    return p;
}

StationPlace StationPlaceFor(const std::string& givenSettings, const std::string& programName) {
    PlaceFacts f;
    f.givenSettings = givenSettings;
    std::error_code ec;
    f.currentDir = fs::current_path(ec).string();
    f.programName = ProgramFileName(programName);
    const auto exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) f.programDir = exe.parent_path().string();
    f.installedBinDir = MRK_PACKAGE_BINDIR;
    f.configDir = MRK_STATION_CONFIG_DIR;
    f.dataDir = MRK_STATION_DATA_DIR;
    f.configDirExists = fs::is_directory(f.configDir, ec);
    return ChoosePlace(f);
}

} // namespace mrk
