// The journal's cost per cycle over a shift: 1,000 cycles recorded one after
// another on one station file (7 steps and 60 log lines each, as a production
// cycle writes them), in blocks of 100. Reported per block: the CPU time per
// cycle and the process's resident memory at the block's end; both should stay
// flat from the first block to the last (a cost that grows with the journal's
// size, or memory kept per cycle, shows as a rise).
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "journal/ProductionJournal.h"

#include "ProcessCost.h"

namespace {

using namespace mrk::journal;
namespace fs = std::filesystem;

using mrk::perf::CpuSeconds;
using mrk::perf::ResidentKb;

void Shift(benchmark::State& state) {
    char tmpl[] = "/tmp/mrk-journal-shift-XXXXXX";
    const fs::path dir = mkdtemp(tmpl);
    JournalSettings s;
    s.station = "ST";
    s.file = (dir / "mrkprog-journal.db").string();
    constexpr int kCycles = 1000, kBlock = 100;
    for (auto _ : state) {
        ProductionJournal journal(s);
        uint16_t number = 1;
        for (int block = 0; block < kCycles / kBlock; ++block) {
            const double cpu0 = CpuSeconds();
            for (int k = 0; k < kBlock; ++k, ++number) {
                JournalRecord rec;
                rec.kind = RunKind::Cycle;
                rec.factoryNumber = number;
                rec.chip = "PIC18F4620";
                std::string why;
                if (!journal.Start(rec, why)) {
                    state.SkipWithError(why.c_str());
                    return;
                }
                for (int step = 0; step < 7; ++step) {
                    for (int line = 0; line < 60 / 7; ++line) journal.Log("Строка протокола шага " + std::to_string(step));
                    journal.Step(step, "шаг", true);
                }
                journal.Finish("OK");
            }
            const double perCycleMs = (CpuSeconds() - cpu0) * 1000.0 / kBlock;
            state.counters["cpu_ms_block" + std::to_string(block + 1)] = perCycleMs;
            state.counters["rss_kb_block" + std::to_string(block + 1)] = ResidentKb();
        }
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
}
BENCHMARK(Shift)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
