// How long one ready wait of the update link lasts on the Kordel when the
// module never answers: the 65001 polls after the synchronisation (4 handshakes
// each) and after a block (2 each), in simulated time on the virtual LPT bench.
// The USB side bounds the same waits by these durations.
#include <benchmark/benchmark.h>

#include "core/Context.h"
#include "app/ChipRoutines.h"
#include "sim/Bench.h"

namespace {

void ReadyWaitLpt(benchmark::State& state) {
    const auto chip = state.range(0) ? mrk::sim::ChipModel::PIC18F4620 : mrk::sim::ChipModel::PIC18F452;
    const int settle = static_cast<int>(state.range(1));
    const int afterEachHigh = static_cast<int>(state.range(2));
    double simMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        mrk::sim::BenchOptions o;
        o.chip = chip; // a blank module: no boot loader, nobody pulls PGD low
        mrk::sim::Bench bench(o);
        mrk::NullHost host;
        mrk::Context ctx(host);
        bench.Install(ctx);
        if (!mrk::OpenProgrammer(ctx)) state.SkipWithError("chip not recognised");
        const auto t0 = bench.Clock().Now();
        state.ResumeTiming();
        const bool ready = mrk::WaitLoaderReady(ctx.line(), ctx.TickMs, settle, afterEachHigh, 0) == mrk::LoaderReady::Ready;
        benchmark::DoNotOptimize(ready);
        simMs = static_cast<double>(bench.Clock().Now() - t0) / 1e6;
    }
    state.counters["simulated_ms"] = simMs;
}
BENCHMARK(ReadyWaitLpt)
    ->ArgNames({"4620", "settle", "each"})
    ->Args({0, 5, 4})
    ->Args({0, 2, 2})
    ->Args({1, 5, 4})
    ->Args({1, 2, 2})
    ->Unit(benchmark::kMillisecond);

} // namespace
