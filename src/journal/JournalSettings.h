#pragma once
// Where the journal lives, from the settings file's [Journal] section:
//   Station = name of this station (default: the computer's host name)
//   File    = the station's SQLite journal (default: mrkprog-journal.db beside the settings file)
//   Server  = libpq connection string of the line's PostgreSQL server (default: none, one station)
//   Enabled = 0 turns the journal off (default 1)
//   Timeout = seconds the server is given to answer (default 5)
#include <string>

#include "journal/ProductionJournal.h"

namespace mrk::journal {

constexpr const char* kJournalSection = "Journal";
constexpr const char* kDefaultJournalFile = "mrkprog-journal.db";

// Reads the section; a missing file or section gives the defaults.
JournalSettings ReadJournalSettings(const std::string& settingsFile);
std::string HostName();

} // namespace mrk::journal
