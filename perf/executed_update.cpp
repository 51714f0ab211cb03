// The update through the module's boot loader on the virtual bench, with the
// bench's boot-loader model and with the demo boot loader executed by gpsim,
// per programmer and chip: host time per update, and as counters the
// simulated time it took and how many times faster than the chip the host ran.
#include <benchmark/benchmark.h>

#include <chrono>

#include "app/ImageAccess.h"
#include "core/Context.h"
#include "app/ChipRoutines.h"
#include "image/FileCommands.h"
#include "sim/Bench.h"

namespace {

using mrk::sim::BenchKind;
using mrk::sim::ChipModel;
using mrk::sim::ModuleFirmware;

struct Rig {
    explicit Rig(const mrk::sim::BenchOptions& o) : bench(o), ctx(host) {
        bench.Install(ctx);
        mrk::OpenProgrammer(ctx);
        mrk::LoadEmbeddedUpdate(ImageLoadOf(ctx)); // the built-in update for the chip
    }
    mrk::sim::Bench bench;
    mrk::NullHost host;
    mrk::Context ctx;
};

void ExecutedUpdate(benchmark::State& state) {
    mrk::sim::BenchOptions o;
    o.kind = state.range(0) ? BenchKind::VirtualUsb : BenchKind::VirtualLpt;
    o.chip = state.range(1) ? ChipModel::PIC18F4620 : ChipModel::PIC18F452;
    o.moduleFirmware = state.range(2) ? ModuleFirmware::Gpsim : ModuleFirmware::BootLoaderModel;
    o.factoryBootLoader = true;
    double simulated = 0, host = 0;
    bool ok = true;
    for (auto _ : state) {
        state.PauseTiming();
        Rig r(o);
        const auto t0 = r.bench.Clock().Now();
        const auto h0 = std::chrono::steady_clock::now();
        state.ResumeTiming();
        ok = ok && mrk::WriteUpdate(r.ctx) == mrk::LinkResult::Sent;
        state.PauseTiming();
        host += std::chrono::duration<double>(std::chrono::steady_clock::now() - h0).count();
        simulated += static_cast<double>(r.bench.Clock().Now() - t0) / 1e9;
        state.ResumeTiming();
    }
    if (!ok) state.SkipWithError("the update was not accepted");
    const double n = static_cast<double>(state.iterations());
    state.counters["simulated_s"] = simulated / n;
    state.counters["sim_per_host"] = host > 0 ? simulated / host : 0;
}

// Arguments: programmer (0 LPT, 1 USB), chip (0 PIC18F452, 1 PIC18F4620), firmware (0 model, 1 gpsim).
BENCHMARK(ExecutedUpdate)
    ->ArgsProduct({{0, 1}, {0, 1}, {0, 1}})
    ->ArgNames({"usb", "4620", "gpsim"})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

} // namespace
