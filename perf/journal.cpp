// The production journal's cost: one cycle's record (opened with its factory
// number reserved, a step at a time with its log lines, finished) on the
// station's SQLite file and on a PostgreSQL server, against the time of the
// work it records on the virtual bench; and 10,000 records listed and exported.
// The PostgreSQL cases start a private server as the tests do (skipped without one).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/JournalObserver.h"
#include "app/MainCommands.h"
#include "app/PlainControls.h"
#include "core/Context.h"
#include "journal/CsvExport.h"
#include "journal/JournalStore.h"
#include "journal/PgConnection.h"
#include "journal/PgServer.h"
#include "journal/ProductionJournal.h"
#include "journal/SqliteConnection.h"
#include "sim/Bench.h"
#include "sim/FactoryBootLoader.h"

namespace {

using namespace mrk::journal;
namespace fs = std::filesystem;

constexpr int kCycleSteps = 13;
constexpr int kLinesPerStep = 3;

struct Place {
    fs::path dir;
    std::string server;
    Place() {
        char tmpl[] = "/tmp/mrk-journal-bench-XXXXXX";
        dir = mkdtemp(tmpl);
    }
    ~Place() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

// Settings for engine 0 (one station) or 1 (a line with a server); false when no server can run.
bool Settings(int engine, Place& place, JournalSettings& s, benchmark::State& state) {
    s.station = "bench";
    s.file = (place.dir / "journal.db").string();
    if (engine == 1) {
        auto* server = mrk::test::PgServer::Shared();
        if (!server) {
            state.SkipWithError(mrk::test::PgServer::SkipReason().c_str());
            return false;
        }
        s.server = server->NewDatabase();
    }
    return true;
}

// One cycle's journal traffic, as the commands make it.
void JournalPerCycle(benchmark::State& state) {
    Place place;
    JournalSettings s;
    if (!Settings(int(state.range(0)), place, s, state)) return;
    ProductionJournal journal(s);
    uint16_t number = 1;
    std::string why;
    journal.Local(why);
    for (auto _ : state) {
        JournalRecord rec;
        rec.kind = RunKind::Cycle;
        rec.factoryNumber = number++;
        rec.chip = "PIC18F4620";
        if (!journal.Start(rec, why)) {
            state.SkipWithError(why.c_str());
            return;
        }
        for (int step = 0; step < kCycleSteps; ++step) {
            for (int l = 0; l < kLinesPerStep; ++l) journal.Log("Строка протокола шага " + std::to_string(step));
            journal.Step(step, "шаг", true);
        }
        journal.Finish("OK");
    }
    state.SetLabel(state.range(0) ? "PostgreSQL (+ station copy)" : "SQLite");
}
BENCHMARK(JournalPerCycle)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(50);

// Whole automatic cycles on the virtual LPT bench (blank PIC18F4620), with no
// journal, the station's SQLite journal, or a line's server: host time per
// cycle; the journal's share is the difference. The module's own time on a real
// chip is the bench's simulated time (counter module_seconds).
class ResultHost : public mrk::NullHost {
public:
    std::string result;
    void StaticText1(const std::string& t) override { result = t; }
};

void CycleWithJournal(benchmark::State& state) {
    const int engine = int(state.range(0)); // 0 none, 1 SQLite, 2 PostgreSQL
    Place place;
    JournalSettings s;
    if (engine > 0 && !Settings(engine - 1, place, s, state)) return;
    s.enabled = engine > 0;
    const auto boot = place.dir / "boot.hex";
    std::ofstream(boot) << mrk::sim::FactoryBootLoaderHex(mrk::sim::ChipModel::PIC18F4620);
    ProductionJournal journal(s);
    mrk::JournalObserver observer(journal);
    uint16_t number = 1;
    double moduleSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        mrk::sim::BenchOptions o;
        o.kind = mrk::sim::BenchKind::VirtualLpt;
        o.chip = mrk::sim::ChipModel::PIC18F4620;
        mrk::sim::Bench bench(o);
        ResultHost result;
        mrk::JournalingHost host(result, journal);
        mrk::Context ctx(host);
        bench.Install(ctx);
        if (engine > 0) ctx.runObserver = &observer;
        ctx.image.TempDir = place.dir.string();
        ctx.image.BootPath4620 = ctx.image.BootPath452 = boot.string();
        ctx.commands.Obnovl = false;
        mrk::PlainControls ui;
        ui.SetFactoryNumberText(std::to_string(number++));
        state.ResumeTiming();
        mrk::Edit1KeyDownEnter(ctx, ui);
        state.PauseTiming();
        if (result.result != "OK") state.SkipWithError("the cycle did not end OK");
        moduleSeconds = double(bench.Clock().Now()) / 1e9;
        state.ResumeTiming();
    }
    state.counters["module_seconds"] = moduleSeconds;
    state.SetLabel(engine == 0 ? "no journal" : engine == 1 ? "SQLite" : "PostgreSQL + station copy");
}
BENCHMARK(CycleWithJournal)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// 10,000 finished records in one transaction, as a year of a station would leave them.
void Fill(JournalStore& store, int n) {
    InTransaction(store.Db(), [&] {
        for (int i = 0; i < n; ++i) {
            const std::string uid = NewUid();
            char started[32];
            std::snprintf(started, sizeof started, "2026-%02d-%02dT%02d:%02d:00Z", 1 + i % 12, 1 + i % 28, i % 24,
                          i % 60);
            const auto id = store.Db().Query(
                "INSERT INTO runs (uid, kind, station, started_utc, ended_utc, programmer, chip, devid1, devid2,"
                " factory_number, module_number, image_name, boot_path, boot_sha256, config_hex, result)"
                " VALUES (?, 'cycle', 'ST1', ?, ?, 'LPT 378', 'PIC18F4620', 199, 12, ?, ?, 'DATAARRAY1',"
                " 'boot.hex', ?, '0022', ?) RETURNING id",
                {uid, std::string(started), std::string(started), int64_t(i % 65535 + 1),
                 int64_t(0xA4050000 + i % 65535 + 1), std::string(64, 'a'), std::string(i % 17 ? "OK" : "X")});
            for (int st = 0; st < kCycleSteps; ++st)
                store.Db().Exec("INSERT INTO run_steps (run_id, seq, step, name, ok) VALUES (?, ?, ?, 'step', 1)",
                                {std::stoll(*id[0][0]), int64_t(st), int64_t(st)});
        }
    });
}

void ListAndExport10k(benchmark::State& state) {
    Place place;
    JournalSettings s;
    if (!Settings(int(state.range(0)), place, s, state)) return;
    std::unique_ptr<JournalStore> store;
    if (state.range(0)) store = std::make_unique<JournalStore>(std::make_unique<PgConnection>(s.server));
    else store = std::make_unique<JournalStore>(std::make_unique<SqliteConnection>(s.file));
    Fill(*store, 10000);
    const bool exportToo = state.range(1) != 0;
    for (auto _ : state) {
        const auto records = store->List({}, true);
        if (records.size() != 10000) state.SkipWithError("records missing");
        if (exportToo) {
            std::ofstream out(place.dir / "export.csv", std::ios::binary | std::ios::trunc);
            WriteCsvHeader(out);
            for (const auto& r : records) WriteCsvRow(out, r);
        }
    }
    state.SetLabel(std::string(state.range(0) ? "PostgreSQL" : "SQLite") + (exportToo ? " list+CSV" : " list"));
}
BENCHMARK(ListAndExport10k)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

} // namespace
