// A whole automatic cycle (erase, configuration, boot loader with verify, code
// protection, update, identity stamp and check) on a blank virtual module, per
// programmer and chip: host CPU time per cycle, and as counters the simulated
// time the cycle takes on the bench and the USB transfers or port accesses.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/MainCommands.h"
#include "app/PlainControls.h"
#include "core/Context.h"
#include "sim/Bench.h"
#include "sim/FactoryBootLoader.h"

namespace {

using mrk::sim::BenchKind;
using mrk::sim::ChipModel;

// Records the big indicator; everything else is dropped.
class ResultHost : public mrk::NullHost {
public:
    std::string result;
    void StaticText1(const std::string& t) override { result = t; }
};

std::filesystem::path Scratch() {
    char tmpl[] = "/tmp/mrk-cycle-bench-XXXXXX";
    return mkdtemp(tmpl);
}

void AutoCycle(benchmark::State& state) {
    const auto kind = state.range(0) ? BenchKind::VirtualUsb : BenchKind::VirtualLpt;
    const auto chip = state.range(1) ? ChipModel::PIC18F4620 : ChipModel::PIC18F452;
    const auto dir = Scratch();
    const auto boot = dir / "boot.hex";
    std::ofstream(boot) << mrk::sim::FactoryBootLoaderHex(chip);
    double simulatedMs = 0, transfers = 0, portAccesses = 0;
    bool ok = true;
    for (auto _ : state) {
        state.PauseTiming();
        mrk::sim::BenchOptions o;
        o.kind = kind;
        o.chip = chip;
        mrk::sim::Bench bench(o);
        ResultHost host;
        mrk::Context ctx(host);
        bench.Install(ctx);
        ctx.image.TempDir = dir.string();
        ctx.image.BootPath4620 = ctx.image.BootPath452 = boot.string();
        ctx.commands.Obnovl = false;
        mrk::PlainControls ui;
        ui.SetFactoryNumberText("1234");
        const auto t0 = bench.Clock().Now();
        state.ResumeTiming();
        mrk::Edit1KeyDownEnter(ctx, ui);
        state.PauseTiming();
        ok = ok && host.result == "OK";
        simulatedMs = static_cast<double>(bench.Clock().Now() - t0) / 1e6;
        transfers = kind == BenchKind::VirtualUsb ? static_cast<double>(bench.Ftdi().Writes() + bench.Ftdi().Reads()) : 0;
        portAccesses = static_cast<double>(bench.Kordel().Reads() + bench.Kordel().Writes());
        state.ResumeTiming();
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    if (!ok) state.SkipWithError("the cycle did not end OK");
    state.counters["simulated_ms"] = simulatedMs;
    state.counters["usb_transfers"] = transfers;
    state.counters["port_accesses"] = portAccesses;
    state.SetLabel(std::string(kind == BenchKind::VirtualUsb ? "usb " : "lpt ") +
                   (chip == ChipModel::PIC18F4620 ? "4620" : "452"));
}

BENCHMARK(AutoCycle)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace
