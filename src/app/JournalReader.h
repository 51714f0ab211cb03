#pragma once
// The production journal as its readers open it (the command line's journal
// list, show, summary and export): the line's server when one is set and
// wanted, else this station's file. Reading never changes, migrates or locks a journal.
#include <memory>
#include <string>

#include "journal/JournalSettings.h"
#include "journal/JournalStore.h"

namespace mrk {

struct JournalForReading {
    std::unique_ptr<journal::JournalStore> store; // null when no journal could be opened
    // Why the server's journal could not be read (this station's is open instead); empty when it was.
    std::string serverProblem;
    // Why no journal could be opened; empty when one was.
    std::string error;
};

// serverWanted: the line's journal on the server when the settings name one.
[[nodiscard]] JournalForReading OpenJournalForReading(const journal::JournalSettings& settings, bool serverWanted);

// A copy of this station's file, whole and consistent while a run writes it (SQLite's
// online backup). Records: how many runs the copy holds ("?" when it could not count
// them); error: why no copy was made, empty when one was.
struct JournalBackup {
    std::string records;
    std::string error;
};
[[nodiscard]] JournalBackup BackupStationJournal(const journal::JournalSettings& settings, const std::string& copyPath);

} // namespace mrk
