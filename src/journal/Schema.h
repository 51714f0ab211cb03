#pragma once
// The journal's tables, versioned. Opening a journal brings it up to the
// current version, one migration at a time, inside one transaction that holds
// off the other stations; a journal newer than this program is refused.
#include "journal/SqlConnection.h"

namespace mrk::journal {

constexpr int kSchemaVersion = 4;

// The version the database is at (0: no journal tables yet).
[[nodiscard]] int SchemaVersionOf(SqlConnection& db);
// The same without writing anything (for a read-only journal).
[[nodiscard]] int SchemaVersionForReading(SqlConnection& db);
// Applies the migrations up to target. Throws SqlError when the database is newer.
void Migrate(SqlConnection& db, int target = kSchemaVersion);

} // namespace mrk::journal
