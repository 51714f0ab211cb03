// Boot-region write, full read and update write on the virtual benches, per
// programmer and chip: host CPU time per operation, and as counters the USB
// transfers and samples (USB) or port accesses (LPT), and the simulated time.
#include <benchmark/benchmark.h>

#include <sstream>

#include "app/ImageAccess.h"
#include "core/Context.h"
#include "app/ChipRoutines.h"
#include "image/FileCommands.h"
#include "image/HexReader.h"
#include "sim/Bench.h"
#include "sim/FactoryBootLoader.h"

namespace {

using mrk::sim::BenchKind;
using mrk::sim::ChipModel;

enum Op { kBootWrite, kFullRead, kUpdateWrite };

struct Rig {
    Rig(BenchKind kind, ChipModel chip, bool factory) : bench(Options(kind, chip, factory)), ctx(host) {
        bench.Install(ctx);
        mrk::OpenProgrammer(ctx);
    }
    static mrk::sim::BenchOptions Options(BenchKind kind, ChipModel chip, bool factory) {
        mrk::sim::BenchOptions o;
        o.kind = kind;
        o.chip = chip;
        o.factoryBootLoader = factory;
        return o;
    }
    mrk::sim::Bench bench;
    mrk::NullHost host;
    mrk::Context ctx;
};

struct Snapshot {
    uint64_t transfers, samples, portAccesses;
    mrk::sim::Nanos t;
};

Snapshot Take(Rig& r) {
    const bool usb = r.bench.Options().kind == BenchKind::VirtualUsb;
    return {usb ? r.bench.Ftdi().Writes() + r.bench.Ftdi().Reads() : 0, usb ? r.bench.Ftdi().Samples() : 0,
            r.bench.Kordel().Reads() + r.bench.Kordel().Writes(), r.bench.Clock().Now()};
}

void Programming(benchmark::State& state) {
    const auto kind = state.range(0) ? BenchKind::VirtualUsb : BenchKind::VirtualLpt;
    const auto chip = state.range(1) ? ChipModel::PIC18F4620 : ChipModel::PIC18F452;
    const auto op = static_cast<Op>(state.range(2));
    Snapshot before{}, after{};
    bool ok = true;
    for (auto _ : state) {
        state.PauseTiming();
        Rig r(kind, chip, op == kUpdateWrite);
        if (op == kBootWrite) {
            std::istringstream hex{std::string(mrk::sim::FactoryBootLoaderHex(chip))};
            mrk::ReadHexText(r.ctx.image, r.ctx.host, hex, mrk::ConfigRecords::Store, "boot");
        } else if (op == kUpdateWrite) {
            mrk::LoadEmbeddedUpdate(ImageLoadOf(r.ctx));
        }
        r.ctx.ind.SpeedButton21 = true; // a full read on either programmer
        before = Take(r);
        state.ResumeTiming();
        switch (op) {
        case kBootWrite: ok = mrk::WriteBoot(r.ctx); break;
        case kFullRead: mrk::ReadAll(r.ctx); break;
        case kUpdateWrite: ok = mrk::WriteUpdate(r.ctx) == mrk::LinkResult::Sent; break;
        }
        state.PauseTiming();
        after = Take(r);
        state.ResumeTiming();
    }
    if (!ok) state.SkipWithError("operation failed on the bench");
    state.counters["usb_transfers"] = static_cast<double>(after.transfers - before.transfers);
    state.counters["samples"] = static_cast<double>(after.samples - before.samples);
    state.counters["port_accesses"] = static_cast<double>(after.portAccesses - before.portAccesses);
    state.counters["simulated_ms"] = static_cast<double>(after.t - before.t) / 1e6;
    static const char* ops[] = {"boot write", "full read", "update write"};
    state.SetLabel(std::string(kind == BenchKind::VirtualUsb ? "usb " : "lpt ") +
                   (chip == ChipModel::PIC18F4620 ? "4620 " : "452 ") + ops[op]);
}

BENCHMARK(Programming)
    ->ArgsProduct({{0, 1}, {0, 1}, {kBootWrite, kFullRead, kUpdateWrite}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace
