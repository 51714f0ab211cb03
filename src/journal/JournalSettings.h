#pragma once
// Where the journal lives, from the settings file's [Journal] section:
//   Station = name of this station (default: the computer's host name)
//   File    = the station's SQLite journal (default: mrkprog-journal.db in the station's journal folder)
//   Server  = libpq connection string of the line's PostgreSQL server (default: none, one station)
//   Enabled = 0 turns the journal off (default 1)
//   Timeout = seconds the server is given to answer (default 5)
//   Numbers = FROM-TO: the factory numbers the line hands out (the next free one is offered)
//   Bench   = 1: runs on the virtual bench use this journal and server too (default: a
//             journal of their own in the folder "bench" of the journal's folder, no server)
#include <string>

#include "core/SettingsSection.h"
#include "journal/ProductionJournal.h"

namespace mrk::journal {

constexpr const char* kJournalSection = "Journal";
constexpr const char* kDefaultJournalFile = "mrkprog-journal.db";

// Where the journal goes when the settings do not say.
struct JournalPlace {
    std::string defaultFile;   // empty: mrkprog-journal.db beside the settings file
    std::string relativeBase;  // what a relative File= is taken from; empty: the settings file's folder
    std::string legacyFile;    // an older default, used while it exists and defaultFile does not
    bool bench = false;        // a run on the virtual bench: a journal of its own, no server
};

// The settings from the [Journal] section as the station's settings reader
// read it from settingsFile (whose folder places a relative File=); a missing
// file, section or key gives the defaults.
JournalSettings ReadJournalSettings(const SettingsSection& section, const std::string& settingsFile,
                                    const JournalPlace& place = {});
std::string HostName();

} // namespace mrk::journal
