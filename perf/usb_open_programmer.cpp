// OpenProgrammer on the virtual USB bench: host CPU time per open, and as
// counters the USB transfers (bulk writes + reads), the samples clocked out,
// the queue-status polls and the simulated time the open takes.
#include <benchmark/benchmark.h>

#include "core/Context.h"
#include "app/ChipRoutines.h"
#include "sim/Bench.h"

namespace {

void OpenProgrammerUsb(benchmark::State& state) {
    const auto chip = state.range(0) ? mrk::sim::ChipModel::PIC18F4620 : mrk::sim::ChipModel::PIC18F452;
    double transfers = 0, ftWrites = 0, samples = 0, polls = 0, simMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        mrk::sim::BenchOptions o;
        o.kind = mrk::sim::BenchKind::VirtualUsb;
        o.chip = chip;
        mrk::sim::Bench bench(o);
        mrk::NullHost host;
        mrk::Context ctx(host);
        bench.Install(ctx);
        state.ResumeTiming();
        const bool ok = mrk::OpenProgrammer(ctx);
        benchmark::DoNotOptimize(ok);
        if (!ok || !ctx.IsUsb()) state.SkipWithError("chip not recognised over USB");
        const auto& f = bench.Ftdi();
        transfers = static_cast<double>(f.Writes() + f.Reads());
        ftWrites = static_cast<double>(ctx.ft.FtWrites);
        samples = static_cast<double>(f.Samples());
        polls = static_cast<double>(f.Polls());
        simMs = static_cast<double>(bench.Clock().Now()) / 1e6;
    }
    state.counters["usb_transfers"] = transfers;
    state.counters["ft_writes"] = ftWrites;
    state.counters["samples"] = samples;
    state.counters["queue_polls"] = polls;
    state.counters["simulated_ms"] = simMs;
}
BENCHMARK(OpenProgrammerUsb)->Arg(0)->Arg(1)->ArgName("is4620")->Unit(benchmark::kMillisecond);

} // namespace
