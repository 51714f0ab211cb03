#include "app/JournalReader.h"

#include <exception>

#include "journal/PgConnection.h"
#include "journal/Schema.h"
#include "journal/SqliteConnection.h"

namespace mrk {

using namespace mrk::journal;

JournalForReading OpenJournalForReading(const JournalSettings& settings, bool serverWanted) {
    JournalForReading r;
    if (serverWanted && !settings.server.empty()) {
        try {
            // Read as it stands: a reader never takes the line's migration lock (the
            // stations' runs bring the journal up to date). Only a line where no
            // station has written yet gets its empty journal made, once.
            auto db = std::make_unique<PgConnection>(settings.server, settings.timeoutSeconds);
            const bool none = SchemaVersionForReading(*db) == 0;
            r.store = std::make_unique<JournalStore>(std::move(db),
                                                     none ? JournalStore::Access::Write : JournalStore::Access::Read);
            return r;
        } catch (const std::exception& e) {
            r.serverProblem = e.what();
        }
    }
    // For reading: nothing is migrated, locked or made, so a read-only file or a
    // busy writer does not stop a list.
    try {
        r.store = std::make_unique<JournalStore>(
            std::make_unique<SqliteConnection>(settings.file, SqliteConnection::Access::Read), JournalStore::Access::Read);
    } catch (const std::exception& e) {
        r.error = e.what();
    }
    return r;
}

JournalBackup BackupStationJournal(const JournalSettings& settings, const std::string& copyPath) {
    JournalBackup b;
    try {
        SqliteConnection db(settings.file, SqliteConnection::Access::Read);
        db.BackupTo(copyPath);
        const auto rows = db.Query("SELECT count(*) FROM runs");
        b.records = rows.empty() ? "?" : rows[0][0].value_or("?");
    } catch (const std::exception& e) {
        b.error = e.what();
    }
    return b;
}

} // namespace mrk
