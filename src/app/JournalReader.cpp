#include "app/JournalReader.h"

#include <exception>

#include "journal/PgConnection.h"
#include "journal/SqliteConnection.h"

namespace mrk {

using namespace mrk::journal;

JournalForReading OpenJournalForReading(const JournalSettings& settings, bool serverWanted) {
    JournalForReading r;
    if (serverWanted && !settings.server.empty()) {
        try {
            // The line's journal is brought up to date by whoever comes first, a reader too.
            r.store = std::make_unique<JournalStore>(std::make_unique<PgConnection>(settings.server, settings.timeoutSeconds));
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

} // namespace mrk
