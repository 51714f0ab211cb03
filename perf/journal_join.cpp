// A station joining the line with a backlog of 100,000 cycles stamped alone: the
// end of its first run that reaches the server claims every number it used, in
// bulk, before any more of its records' details go (20 of them in that run).
// Measured: that run end, from a station file of 100,000 waiting records to every
// number reserved on the server. The server is a private one, as the tests start.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "journal/JournalStore.h"
#include "journal/PgConnection.h"
#include "journal/PgServer.h"
#include "journal/ProductionJournal.h"
#include "journal/SqliteConnection.h"

namespace {

using namespace mrk::journal;
namespace fs = std::filesystem;

constexpr int kRecords = 100000;

// 100,000 finished cycles not yet sent, numbered 1.. (the numbers wrap at 65,535).
void FillBacklog(SqlConnection& db) {
    InTransaction(db, [&] {
        db.Exec("INSERT INTO runs (uid, kind, station, started_utc, ended_utc, chip, factory_number, module_number,"
                " result, sent, revision)"
                " SELECT printf('%032x', n), 'cycle', 'A', '2026-01-01T00:00:00Z', '2026-01-01T00:05:00Z',"
                " 'PIC18F4620', n % 65536, n, 'OK', 0, 1 FROM (WITH RECURSIVE s(n) AS (SELECT 1 UNION ALL"
                " SELECT n + 1 FROM s WHERE n < " + std::to_string(kRecords) + ") SELECT n FROM s)");
        db.Exec("INSERT INTO factory_numbers (number, run_uid, station, reserved_utc)"
                " SELECT factory_number, min(uid), 'A', '2026-01-01T00:00:00Z' FROM runs GROUP BY factory_number");
    });
}

void JoinWithBacklog(benchmark::State& state) {
    auto* server = mrk::test::PgServer::Shared();
    if (!server) {
        state.SkipWithError(mrk::test::PgServer::SkipReason().c_str());
        return;
    }
    char tmpl[] = "/tmp/mrk-journal-join-XXXXXX";
    const fs::path dir = mkdtemp(tmpl);
    const std::string file = (dir / "a.db").string();
    {
        JournalStore store(std::make_unique<SqliteConnection>(file));
        FillBacklog(store.Db());
    }
    int64_t reserved = 0;
    for (auto _ : state) {
        // A fresh line each time, and the station's claims not yet made.
        const std::string line = server->NewDatabase();
        { JournalStore migrated(std::make_unique<PgConnection>(line, 60)); }
        { SqliteConnection db(file); db.Exec("PRAGMA user_version = 0"); }
        JournalSettings s;
        s.station = "A";
        s.file = file;
        s.server = line;
        s.timeoutSeconds = 60;
        ProductionJournal journal(s);
        const auto t0 = std::chrono::steady_clock::now();
        const SyncReport rep = journal.Sync(20); // what a run's end does
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        if (!rep.error.empty()) state.SkipWithError(rep.error.c_str());
        JournalStore view(std::make_unique<PgConnection>(line, 60));
        const auto rows = view.Db().Query("SELECT count(*) FROM factory_numbers");
        reserved = rows.empty() ? 0 : std::atoll(rows[0][0].value_or("0").c_str());
    }
    state.counters["numbers_on_line"] = double(reserved);
    state.counters["records"] = kRecords;
    std::error_code ec;
    fs::remove_all(dir, ec);
}
BENCHMARK(JoinWithBacklog)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
