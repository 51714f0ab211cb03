// The journal at 100,000 records: `mrkprog journal list` and `export` against the
// plain tools on the same data (`sqlite3 -csv` on the station file, `psql \copy`
// on the server), each a process of its own measured for time and peak memory;
// one record looked up by its number; and one run's journal cost with 100,000
// records waiting to be sent, against none waiting.
// The same two reads run by the plain tools show what the databases themselves
// take. MRKPROG=path measures another build of the program on the same data.
// The PostgreSQL cases start a private server as the tests do (skipped without one).
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "journal/JournalStore.h"
#include "journal/PgConnection.h"
#include "journal/PgServer.h"
#include "journal/ProductionJournal.h"
#include "journal/SqliteConnection.h"

namespace {

using namespace mrk::journal;
namespace fs = std::filesystem;

constexpr int kRecords = 100000;

// Fills a journal with kRecords finished cycles of 3 steps and 2 log lines each, in SQL.
void Fill(SqlConnection& db, bool sent) {
    InTransaction(db, [&] {
        const std::string series = db.Kind() == Engine::Postgres
                                       ? "SELECT g AS n FROM generate_series(1, " + std::to_string(kRecords) + ") g"
                                       : "WITH RECURSIVE s(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM s WHERE n < " +
                                             std::to_string(kRecords) + ") SELECT n FROM s";
        const std::string text = db.Kind() == Engine::Postgres ? "n::text" : "n";
        db.Exec("INSERT INTO runs (uid, kind, station, started_utc, ended_utc, programmer, chip, devid1, devid2,"
                " factory_number, module_number, image_name, image_sum1, image_sum2, boot_path, boot_sha256,"
                " config_hex, result, sent, revision)"
                " SELECT 'u' || " + text + ", 'cycle', 'ST' || (n % 4), '2026-01-01T00:00:00Z',"
                " '2026-01-01T00:05:00Z', 'LPT 378', 'PIC18F4620', 12, 34, n % 65536, n, 'DATAARRAY1', 1, 2,"
                " '/opt/boot.hex', 'e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855',"
                " '0022001F', CASE WHEN n % 10 = 0 THEN 'X' ELSE 'OK' END, " + std::string(sent ? "1" : "0") +
                ", 1 FROM (" + series + ") s");
        for (int step = 0; step < 3; ++step)
            db.Exec("INSERT INTO run_steps (run_id, seq, step, name, ok) SELECT id, " + std::to_string(step) + ", " +
                    std::to_string(step * 4) + ", 'шаг', 1 FROM runs");
        for (int line = 0; line < 2; ++line)
            db.Exec("INSERT INTO run_log (run_id, seq, line) SELECT id, " + std::to_string(line) +
                    ", 'Строка протокола' FROM runs");
    });
}

struct Place {
    fs::path dir;
    Place() {
        char tmpl[] = "/tmp/mrk-journal-scale-XXXXXX";
        dir = mkdtemp(tmpl);
    }
    ~Place() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string File() const { return (dir / "mrkprog-journal.db").string(); }
};

// The station journal of 100,000 records and its settings file, made once.
Place& Station() {
    static Place place = [] {
        Place p;
        {
            JournalStore store(std::make_unique<SqliteConnection>(p.File()));
            Fill(store.Db(), true);
        }
        std::ofstream(p.dir / "mrkprog.ini") << "[Journal]\nStation=bench\n";
        return p;
    }();
    return place;
}

// The same on the server; empty without one.
std::string& ServerJournal() {
    static std::string conninfo = [] {
        auto* server = mrk::test::PgServer::Shared();
        if (!server) return std::string();
        std::string c = server->NewDatabase();
        JournalStore store(std::make_unique<PgConnection>(c, 60));
        Fill(store.Db(), true);
        store.Db().Exec("ANALYZE");
        return c;
    }();
    return conninfo;
}

// Runs a command (argv) in dir with its output to a file; gives seconds and peak memory in MB.
bool RunMeasured(const std::vector<std::string>& argv, const fs::path& dir, const fs::path& out, double& seconds,
                 double& peakMb) {
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        FILE* f = std::freopen(out.c_str(), "w", stdout);
        if (!f) _exit(127);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return false;
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    peakMb = double(usage.ru_maxrss) / 1024.0;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void Measured(benchmark::State& state, const std::vector<std::string>& argv, const fs::path& dir) {
    double peak = 0;
    for (auto _ : state) {
        double seconds = 0;
        if (!RunMeasured(argv, dir, dir / "out.txt", seconds, peak)) {
            state.SkipWithError(("failed: " + argv[0] + " " + argv[1]).c_str());
            return;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["peak_MB"] = peak;
}

const char* const kSqliteColumns =
    "SELECT id, kind, station, started_utc, ended_utc, result, factory_number, module_number, chip, devid1, devid2,"
    " programmer, image_name, image_sum1, image_sum2, boot_path, boot_sha256, config_hex, redo_of, uid FROM runs";

// What `list` and `export` ask each database for: the same columns in start order,
// each record's steps gathered beside it. Run by the plain tools, it shows how much
// of the program's time is the database's own work.
const char* const kHeadColumns =
    "id, uid, kind, station, started_utc, ended_utc, programmer, chip, devid1, devid2, factory_number,"
    " module_number, image_name, image_sum1, image_sum2, boot_path, boot_sha256, config_hex, result, redo_of,"
    " conflict, sent, set_aside, programmer_serial, ";
const std::string kSqliteSameQuery =
    std::string("SELECT ") + kHeadColumns +
    "(SELECT group_concat(x, char(30)) FROM (SELECT s.step || char(31) || s.ok || char(31) || s.name AS x"
    " FROM run_steps s WHERE s.run_id = runs.id ORDER BY s.seq)) FROM runs ORDER BY started_utc, id";
const std::string kPgSameQuery =
    std::string("SELECT ") + kHeadColumns +
    "array_to_string(ARRAY(SELECT s.step || chr(31) || s.ok || chr(31) || s.name FROM run_steps s"
    " WHERE s.run_id = runs.id ORDER BY s.seq), chr(30)) FROM runs ORDER BY started_utc, id";

// The program measured: this build's, or another one named by MRKPROG (an earlier
// version, to compare on the same data).
std::string Mrkprog() {
    const char* other = std::getenv("MRKPROG");
    return other && *other ? other : MRKPROG_PATH;
}

// ---- the station file

void ListStation(benchmark::State& state) {
    Measured(state, {Mrkprog(), "journal", "list", "--local"}, Station().dir);
}
void ExportStation(benchmark::State& state) {
    Measured(state, {Mrkprog(), "journal", "export", "--local", "--csv", "out.csv"}, Station().dir);
}
void NumberStation(benchmark::State& state) {
    Measured(state, {Mrkprog(), "journal", "list", "--local", "--number", "123"}, Station().dir);
}
void Sqlite3Csv(benchmark::State& state) {
    Measured(state, {"sqlite3", "-csv", "-header", Station().File(), kSqliteColumns}, Station().dir);
}
void Sqlite3SameQuery(benchmark::State& state) {
    Measured(state, {"sqlite3", "-csv", Station().File(), kSqliteSameQuery}, Station().dir);
}
void Sqlite3Number(benchmark::State& state) {
    Measured(state, {"sqlite3", Station().File(), std::string(kSqliteColumns) + " WHERE factory_number = 123"},
             Station().dir);
}

// ---- the server

bool NeedServer(benchmark::State& state) {
    if (!ServerJournal().empty()) return true;
    state.SkipWithError(mrk::test::PgServer::SkipReason().c_str());
    return false;
}
fs::path ServerDir() {
    static Place place = [] {
        Place p;
        std::ofstream(p.dir / "mrkprog.ini") << "[Journal]\nStation=bench\nTimeout=60\nServer=" << ServerJournal()
                                              << "\n";
        return p;
    }();
    return place.dir;
}
void ListServer(benchmark::State& state) {
    if (NeedServer(state)) Measured(state, {Mrkprog(), "journal", "list"}, ServerDir());
}
void ExportServer(benchmark::State& state) {
    if (NeedServer(state)) Measured(state, {Mrkprog(), "journal", "export", "--csv", "out.csv"}, ServerDir());
}
void PsqlCopy(benchmark::State& state) {
    if (!NeedServer(state)) return;
    const std::string copy = std::string("\\copy (") + kSqliteColumns + ") TO 'copy.csv' CSV HEADER";
    Measured(state, {"psql", "-q", ServerJournal(), "-c", copy}, ServerDir());
}

void PsqlSameQuery(benchmark::State& state) {
    if (!NeedServer(state)) return;
    const std::string copy = "\\copy (" + kPgSameQuery + ") TO 'copy.csv' CSV";
    Measured(state, {"psql", "-q", ServerJournal(), "-c", "SET jit = off", "-c", copy}, ServerDir());
}

// ---- one run with the queue full

// A whole update's journal traffic on a line station with `waiting` records not yet sent.
void RunWithQueue(benchmark::State& state) {
    if (!NeedServer(state)) return;
    Place place;
    if (state.range(0) > 0) {
        JournalStore store(std::make_unique<SqliteConnection>(place.File()));
        Fill(store.Db(), false);
        store.Db().Exec("UPDATE runs SET uid = 'w' || uid, station = 'waiting'");
    }
    JournalSettings s;
    s.station = "bench";
    s.file = place.File();
    s.server = mrk::test::PgServer::Shared()->NewDatabase();
    ProductionJournal journal(s);
    std::string why;
    for (auto _ : state) {
        JournalRecord rec;
        rec.kind = RunKind::Update;
        if (!journal.Start(rec, why)) {
            state.SkipWithError(why.c_str());
            return;
        }
        for (int step = 0; step < 8; ++step) {
            journal.Log("Строка протокола");
            journal.Step(step, "шаг", true);
        }
        journal.Finish("OK");
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB_process"] = double(usage.ru_maxrss) / 1024.0;
}

} // namespace

BENCHMARK(ListStation)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(ExportStation)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(Sqlite3Csv)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(Sqlite3SameQuery)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(NumberStation)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(Sqlite3Number)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(ListServer)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(ExportServer)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(PsqlCopy)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(PsqlSameQuery)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(RunWithQueue)->Arg(0)->Arg(kRecords)->Iterations(20)->Unit(benchmark::kMillisecond);
