#include "journal/Schema.h"

#include <string>
#include <vector>

#include "journal/RecordRow.h"

namespace mrk::journal {

namespace {

// The same statements on both engines; "{ID}" is the engine's own auto-numbered key.
const std::vector<std::vector<std::string>> kMigrations = {
    // 1: runs with their steps and log lines.
    {
        "CREATE TABLE runs ("
        " id {ID},"
        " uid TEXT NOT NULL UNIQUE,"
        " kind TEXT NOT NULL,"
        " station TEXT NOT NULL,"
        " started_utc TEXT NOT NULL,"
        " ended_utc TEXT,"
        " programmer TEXT NOT NULL DEFAULT '',"
        " chip TEXT NOT NULL DEFAULT '',"
        " devid1 INTEGER NOT NULL DEFAULT 0,"
        " devid2 INTEGER NOT NULL DEFAULT 0,"
        " factory_number INTEGER,"
        " module_number BIGINT,"
        " image_name TEXT NOT NULL DEFAULT '',"
        " image_sum1 INTEGER NOT NULL DEFAULT 0,"
        " image_sum2 INTEGER NOT NULL DEFAULT 0,"
        " boot_path TEXT NOT NULL DEFAULT '',"
        " boot_sha256 TEXT NOT NULL DEFAULT '',"
        " config_hex TEXT NOT NULL DEFAULT '',"
        " result TEXT)",
        "CREATE INDEX runs_started ON runs (started_utc)",
        "CREATE INDEX runs_number ON runs (factory_number)",
        "CREATE TABLE run_steps ("
        " run_id BIGINT NOT NULL REFERENCES runs (id) ON DELETE CASCADE,"
        " seq INTEGER NOT NULL,"
        " step INTEGER NOT NULL,"
        " name TEXT NOT NULL,"
        " ok INTEGER NOT NULL,"
        " PRIMARY KEY (run_id, seq))",
        "CREATE TABLE run_log ("
        " run_id BIGINT NOT NULL REFERENCES runs (id) ON DELETE CASCADE,"
        " seq INTEGER NOT NULL,"
        " line TEXT NOT NULL,"
        " PRIMARY KEY (run_id, seq))",
    },
    // 2: factory numbers reserved before a module is stamped; redone modules point
    // at their earlier record; the station's copies remember what reached the server.
    {
        "ALTER TABLE runs ADD COLUMN redo_of TEXT",
        "ALTER TABLE runs ADD COLUMN sent INTEGER NOT NULL DEFAULT 0",
        "CREATE TABLE factory_numbers ("
        " number INTEGER NOT NULL PRIMARY KEY,"
        " run_uid TEXT NOT NULL,"
        " station TEXT NOT NULL,"
        " reserved_utc TEXT NOT NULL)",
        // Numbers stamped before reservations existed count as reserved by their first cycle.
        "INSERT INTO factory_numbers (number, run_uid, station, reserved_utc)"
        " SELECT r.factory_number, r.uid, r.station, r.started_utc FROM runs r"
        " WHERE r.kind = 'cycle' AND r.factory_number IS NOT NULL"
        " AND r.id = (SELECT min(r2.id) FROM runs r2 WHERE r2.kind = 'cycle'"
        " AND r2.factory_number = r.factory_number)",
        "CREATE INDEX runs_unsent ON runs (sent)",
    },
    // 3: how far along each copy is (an older copy never replaces a newer one), numbers
    // held by two records, records the server refused.
    {
        "ALTER TABLE runs ADD COLUMN revision BIGINT NOT NULL DEFAULT 0",
        "ALTER TABLE runs ADD COLUMN conflict TEXT",
        "ALTER TABLE runs ADD COLUMN set_aside TEXT",
        "CREATE INDEX runs_station ON runs (station, started_utc)",
    },
    // 4: which USB programmer did the run (its serial number).
    {
        "ALTER TABLE runs ADD COLUMN programmer_serial TEXT NOT NULL DEFAULT ''",
    },
};

std::string ForEngine(std::string sql, Engine e) {
    const std::string id = e == Engine::Sqlite ? "INTEGER PRIMARY KEY AUTOINCREMENT" : "BIGSERIAL PRIMARY KEY";
    for (size_t at; (at = sql.find("{ID}")) != std::string::npos;) sql.replace(at, 4, id);
    return sql;
}

void EnsureVersionTable(SqlConnection& db) {
    db.Exec("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
}

int ReadVersion(SqlConnection& db) {
    const auto rows = db.Query("SELECT max(version) FROM schema_version");
    if (rows.empty() || !rows[0][0]) return 0;
    const auto v = CheckedInt(rows[0][0], 0, 1000000);
    if (!v) throw SqlError(db.Where() + ": версия журнала '" + *rows[0][0] + "' — не число");
    return int(*v);
}

} // namespace

int SchemaVersionForReading(SqlConnection& db) {
    const char* exists = db.Kind() == Engine::Sqlite
                             ? "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'schema_version'"
                             : "SELECT count(*) FROM information_schema.tables WHERE table_name = 'schema_version'"
                               " AND table_schema = current_schema()";
    const auto rows = db.Query(exists);
    if (rows.empty() || rows[0][0].value_or("0") == "0") return 0;
    return ReadVersion(db);
}

int SchemaVersionOf(SqlConnection& db) {
    int v = 0;
    InTransaction(db, [&] {
        EnsureVersionTable(db);
        v = ReadVersion(db);
    });
    return v;
}

void Migrate(SqlConnection& db, int target) {
    InTransaction(
        db,
        [&] {
            EnsureVersionTable(db);
            const int now = ReadVersion(db);
            if (now > kSchemaVersion)
                throw SqlError(db.Where() + ": журнал версии " + std::to_string(now) +
                               ", новее версии этой программы (" + std::to_string(kSchemaVersion) +
                               "); обновите программу на этой станции");
            for (int v = now + 1; v <= target && v <= int(kMigrations.size()); ++v) {
                for (const auto& sql : kMigrations[size_t(v - 1)]) db.Exec(ForEngine(sql, db.Kind()));
                db.Exec("DELETE FROM schema_version");
                db.Exec("INSERT INTO schema_version (version) VALUES (?)", {int64_t(v)});
            }
        },
        /*exclusive=*/true);
}

} // namespace mrk::journal
