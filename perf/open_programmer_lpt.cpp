// OpenProgrammer on the virtual LPT bench: host CPU time per open, with the
// port accesses and the simulated (bench) time it takes, as counters.
#include <benchmark/benchmark.h>

#include "core/Context.h"
#include "app/ChipRoutines.h"
#include "sim/Bench.h"

namespace {

void OpenProgrammerLpt(benchmark::State& state) {
    const auto chip = state.range(0) ? mrk::sim::ChipModel::PIC18F4620 : mrk::sim::ChipModel::PIC18F452;
    uint64_t accesses = 0;
    double simMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        mrk::sim::BenchOptions o;
        o.chip = chip;
        mrk::sim::Bench bench(o);
        mrk::NullHost host;
        mrk::Context ctx(host);
        bench.Install(ctx);
        state.ResumeTiming();
        const bool ok = mrk::OpenProgrammer(ctx);
        benchmark::DoNotOptimize(ok);
        if (!ok) state.SkipWithError("chip not recognised");
        accesses = bench.Kordel().Reads() + bench.Kordel().Writes();
        simMs = static_cast<double>(bench.Clock().Now()) / 1e6;
    }
    state.counters["port_accesses"] = static_cast<double>(accesses);
    state.counters["simulated_ms"] = simMs;
}
BENCHMARK(OpenProgrammerLpt)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

} // namespace
