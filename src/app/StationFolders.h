#pragma once
// Where a station keeps its settings file and its production journal.
//
// The installed programs (run from the folder the package puts them in, on a
// station whose package made its configuration folder) share one settings file,
// /etc/mrkprog/mrkprog.ini, and one journal in /var/lib/mrkprog, whoever starts
// them from whatever folder. Any other run (a build tree, a copy elsewhere) keeps
// the settings file in the current folder, named after the program, and its
// journal in the folder "journal" beside it (an older station's
// mrkprog-journal.db beside the settings file is still used where it is).
// A settings file given on the command line overrides both: its journal is
// beside it. (A run on the virtual bench keeps a journal of its own unless its
// settings say otherwise: see JournalSettings.)
#include <string>

namespace mrk {

struct StationPlace {
    std::string settingsFile;
    std::string journalFolder;      // where the journal's file is made unless the settings name one
    std::string relativeBase;       // what a relative File= in the settings is taken from
    std::string legacyJournalFile;  // an older default that is kept where it exists
    bool installedStation = false;  // the station's shared folders are in use
    bool settingsGiven = false;     // the settings file was named on the command line
};

struct PlaceFacts {
    std::string givenSettings;      // --settings; empty: none
    std::string currentDir;
    std::string programName;        // the program file's name (settings named after it)
    std::string programDir;         // the folder the running program file is in
    std::string installedBinDir;    // where the package installs the programs
    std::string configDir;          // the station's configuration folder
    std::string dataDir;            // the station's data folder
    bool configDirExists = false;
};

// The rule above, on facts given (so it can be checked without installing).
StationPlace ChoosePlace(const PlaceFacts& facts);
// The rule on this machine and this process.
StationPlace StationPlaceFor(const std::string& givenSettings, const std::string& programName);

// The station's folders as the package makes them.
const char* StationConfigDir();
const char* StationDataDir();

} // namespace mrk
