// What the USB round trips cost: every command of the automatic cycle, and a
// whole-chip read, run in the cycle's order on a blank virtual module behind
// the virtual Surtan, with the read-back latency of the FTDI chip as a
// parameter (1 ms, the latency timer the program sets, and 0.5 ms), through
// the vendor's D2XX driver and through libftdi1 under the program's libftdi
// driver, side by side: each row runs the step on both and gives the libftdi
// path's figures with the D2XX path's beside them ("d2xx_ms", "libftdi_vs_d2xx").
//
// Per command and chip the counters say: samples clocked, USB writes and
// reads, round trips (read-back packets the latency timer sent), the simulated
// time, and the floor it could take:
//   samples x sample period + the delays it asks for + the boot loader's flash
//   time + the round trips its reads need x latency,
// where a read needs one round trip per answer a later step depends on, and
// one per 65,535 samples (the most one transfer holds):
//   update: one per block, and one for the ready after the synchronisation;
//   configuration: its read-back; ID read: one; boot write: two per row (the
//   row read to decide, read again after writing it); read-back and compare:
//   their samples / 65,535; erase and ID write: none.
// The update's ready polls only wait out the flash time, which the floor holds
// already: it leaves their samples (a marked read and two idle samples each) out.
// "ratio" is simulated time / floor.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "app/ImageAccess.h"
#include "config/ConfigWords.h"
#include "core/Context.h"
#include "app/ChipRoutines.h"
#include "image/FileCommands.h"
#include "sim/Bench.h"
#include "sim/FactoryBootLoader.h"
#include "transport/D2XXUnit.h"
#include "transport/FtDeviceRef.h"
#include "transport/FtDevice.h"

namespace {

using mrk::sim::ChipModel;
using mrk::sim::Nanos;

enum Step { kErase, kConfig, kBootWrite, kCompare, kProtect, kUpdate, kIdWrite, kIdRead, kReadBack, kCycle, kSteps };
const char* const kStepNames[] = {"erase",  "configuration", "boot write+verify", "compare boot",
                                  "protection", "update", "ID write", "ID read", "read-back", "cycle"};

constexpr uint32_t kMaxSamplesPerTransfer = 65535;
constexpr uint32_t kRowWords = 32;
// A ready poll after a block: the marked read's five samples and two idle ones.
constexpr uint64_t kReadyPollSamples = 7;

struct Figures {
    uint64_t samples = 0, writes = 0, reads = 0, roundTrips = 0, delayMs = 0, lineReads = 0;
    Nanos flash = 0, t = 0;
};

// Counts the line reads the host queues: samples whose mark bit rises.
class ReadCounter : public mrk::FtDeviceRef {
public:
    ReadCounter(std::unique_ptr<mrk::FtDevice> dev, uint64_t& reads)
        : FtDeviceRef(*dev), dev_(std::move(dev)), reads_(reads) {}
    mrk::FtStatus Write(mrk::FtHandleValue h, const uint8_t* d, uint32_t n, uint32_t& w) override {
        const mrk::FtStatus st = FtDeviceRef::Write(h, d, n, w);
        for (uint32_t i = 0; i < w; ++i) {
            const bool mark = (d[i] & 0x80) != 0;
            if (mark && !mark_) ++reads_;
            mark_ = mark;
        }
        return st;
    }

private:
    std::unique_ptr<mrk::FtDevice> dev_;
    uint64_t& reads_;
    bool mark_ = false;
};

struct Rig {
    Rig(ChipModel chip, Nanos latency, mrk::sim::UsbDriver driver) : bench(Options(chip, latency, driver)), ctx(host) {
        bench.Install(ctx);
        ctx.surtan.UseDevice(std::make_unique<ReadCounter>(std::move(ctx.d2xx.device), readsQueued));
        opened = mrk::OpenProgrammer(ctx);
    }
    static mrk::sim::BenchOptions Options(ChipModel chip, Nanos latency, mrk::sim::UsbDriver driver) {
        mrk::sim::BenchOptions o;
        o.kind = mrk::sim::BenchKind::VirtualUsb;
        o.chip = chip;
        o.ftdi.readBackLatency = latency;
        o.usbDriver = driver;
        return o;
    }
    bool opened = false;
    Figures Take() {
        auto& f = bench.Ftdi();
        return {f.Samples(), f.Writes(), f.Reads(), f.RoundTrips(), ctx.ft.FtDelayMs, readsQueued,
                bench.Module()->BootLoaderFlashTime(), bench.Clock().Now()};
    }
    uint64_t readsQueued = 0;
    mrk::sim::Bench bench;
    mrk::NullHost host;
    mrk::Context ctx;
};

uint64_t Ceil(uint64_t a, uint64_t b) { return (a + b - 1) / b; }

// Round trips the step's reads need (see the top of the file).
uint64_t NeededRoundTrips(Step s, const mrk::Context& ctx, const Figures& d) {
    switch (s) {
    case kUpdate: return (2u * (ctx.prog.ChipWords - ctx.prog.BootWords)) / (ctx.Is4620() ? 64u : 8u) + 1;
    case kConfig:
    case kProtect:
    case kIdRead: return 1;
    case kBootWrite: return 2u * ctx.prog.BootWords / kRowWords;
    case kCompare:
    case kReadBack: return Ceil(d.samples, kMaxSamplesPerTransfer);
    default: return 0;
    }
}

struct Run {
    Figures from{}, to{};
    uint64_t needed = 0;
    Nanos floor = 0;
    bool ok = true;
    double Ms() const { return static_cast<double>(to.t - from.t) / 1e6; }
};

// One step (or the cycle) through one driver, timed only while the step runs.
Run RunStep(benchmark::State& state, ChipModel chip, Nanos latency, Step step, mrk::sim::UsbDriver driver) {
    char tmpl[] = "/tmp/mrk-usb-bench-XXXXXX";
    const std::filesystem::path dir = mkdtemp(tmpl);
    Run run;
    std::ofstream(dir / "boot.hex") << mrk::sim::FactoryBootLoaderHex(chip);

    Figures& from = run.from;
    Figures& to = run.to;
    uint64_t& needed = run.needed;
    Nanos& floor = run.floor;
    bool& ok = run.ok;
    double periodNs = 0;
    {
        Rig r(chip, latency, driver);
        r.ctx.image.TempDir = dir.string();
        r.ctx.image.BootPath4620 = r.ctx.image.BootPath452 = (dir / "boot.hex").string();
        ok = r.opened && mrk::LoadEmbeddedUpdate(ImageLoadOf(r.ctx)) && mrk::LoadBootLoaderFile(ImageLoadOf(r.ctx));
        periodNs = static_cast<double>(r.bench.Ftdi().SamplePeriodPs()) / 1000.0;
        // The cycle's commands in its order; each runs on what the ones before left.
        const std::function<bool()> steps[] = {
            [&] { return mrk::EraseChip(r.ctx, nullptr); },
            [&] { return mrk::WriteWordConfig(mrk::ConfigAccessOf(r.ctx), mrk::ConfigPreset::ProtectionOff); },
            [&] { return mrk::WriteBoot(r.ctx); },
            [&] { return mrk::ReadBoot(r.ctx) && mrk::CompareChip(r.ctx); },
            [&] { return mrk::WriteWordConfig(mrk::ConfigAccessOf(r.ctx), mrk::ConfigPreset::CodeProtection); },
            [&] { return mrk::WriteUpdate(r.ctx) == mrk::LinkResult::Sent; },
            [&] { return mrk::WriteIdWords(r.ctx, 1234, 0x4321, 0xFFFF); },
            [&] { return mrk::ReadIdWords(r.ctx); },
            [&] {
                r.ctx.ind.SpeedButton21 = true;
                return mrk::ReadAll(r.ctx);
            },
        };
        floor = 0;
        needed = 0;
        Figures cycleFrom = r.Take();
        for (int s = 0; s < kCycle; ++s) {
            if (step == kCycle && s == kReadBack) break;
            const bool measured = s == step || step == kCycle;
            const Figures before = r.Take();
            if (measured) state.ResumeTiming();
            ok = steps[s]() && ok;
            if (measured) state.PauseTiming();
            const Figures after = r.Take();
            if (!measured) continue;
            const Figures d{after.samples - before.samples, after.writes - before.writes, after.reads - before.reads,
                            after.roundTrips - before.roundTrips, after.delayMs - before.delayMs,
                            after.lineReads - before.lineReads, after.flash - before.flash, after.t - before.t};
            const uint64_t n = NeededRoundTrips(static_cast<Step>(s), r.ctx, d);
            needed += n;
            const auto pollTime = static_cast<Nanos>(static_cast<double>(kReadyPollSamples * d.lineReads) * periodNs);
            const Nanos polls = s == kUpdate ? pollTime : 0;
            floor += static_cast<Nanos>(static_cast<double>(d.samples) * periodNs) + d.delayMs * mrk::sim::kMs +
                     d.flash + n * latency - polls;
            if (step != kCycle) {
                from = before;
                to = after;
            }
            if (s == step) break;
        }
        if (step == kCycle) {
            // The cycle's figures without the whole-chip read, which is no step of it.
            from = cycleFrom;
            to = r.Take();
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return run;
}

void UsbRoundTrips(benchmark::State& state) {
    const auto chip = state.range(0) ? ChipModel::PIC18F4620 : ChipModel::PIC18F452;
    const Nanos latency = static_cast<Nanos>(state.range(1)) * mrk::sim::kUs;
    const auto step = static_cast<Step>(state.range(2));
    Run run, d2xx;
    for (auto _ : state) {
        state.PauseTiming();
        d2xx = RunStep(state, chip, latency, step, mrk::sim::UsbDriver::D2xx);
        run = RunStep(state, chip, latency, step, mrk::sim::UsbDriver::Libftdi);
        state.ResumeTiming();
    }
    if (!run.ok || !d2xx.ok) state.SkipWithError("a command failed on the bench");
    const Figures& from = run.from;
    const Figures& to = run.to;
    const uint64_t needed = run.needed;
    const Nanos floor = run.floor;
    const double ms = run.Ms();
    state.counters["samples"] = static_cast<double>(to.samples - from.samples);
    state.counters["writes"] = static_cast<double>(to.writes - from.writes);
    state.counters["reads"] = static_cast<double>(to.reads - from.reads);
    state.counters["round_trips"] = static_cast<double>(to.roundTrips - from.roundTrips);
    state.counters["needed_trips"] = static_cast<double>(needed);
    state.counters["simulated_ms"] = ms;
    state.counters["floor_ms"] = static_cast<double>(floor) / 1e6;
    state.counters["ratio"] = floor ? ms / (static_cast<double>(floor) / 1e6) : 0;
    state.counters["d2xx_ms"] = d2xx.Ms();
    state.counters["d2xx_writes"] = static_cast<double>(d2xx.to.writes - d2xx.from.writes);
    state.counters["d2xx_ratio"] = d2xx.floor ? d2xx.Ms() / (static_cast<double>(d2xx.floor) / 1e6) : 0;
    state.counters["libftdi_vs_d2xx"] = d2xx.Ms() > 0 ? ms / d2xx.Ms() : 0;
    state.SetLabel(std::string(chip == ChipModel::PIC18F4620 ? "4620 " : "452 ") + kStepNames[step] + " @" +
                   std::to_string(state.range(1)) + "us");
}

BENCHMARK(UsbRoundTrips)
    ->ArgsProduct({{0, 1}, {1000, 500}, benchmark::CreateDenseRange(0, kCycle, 1)})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace
