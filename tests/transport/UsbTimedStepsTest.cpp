// Timed steps on the Surtan whatever the bus and the host do. A USB write
// reaches the FTDI chip a frame or more after the host handed it over, by a
// delay that varies from one write to the next, and a loaded host may be held
// up between reading its clock and writing. Neither may shorten anything the
// chip needs held: measured by the module on its own pins, every programming
// pulse, row erase and bulk erase of every command keeps its minimum, on both
// chips, through both drivers; and every delay the host asks for holds the
// lines at least that long.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "app/ImageAccess.h"
#include "config/ConfigWords.h"
#include "core/Context.h"
#include "app/ChipRoutines.h"
#include "image/FileCommands.h"
#include "sim/Bench.h"
#include "sim/FactoryBootLoader.h"
#include "support/RecordingHost.h"
#include "transport/Surtan.h"
#include "transport/Kordel.h"

namespace mrk {
namespace {

using sim::ChipModel;
using sim::Nanos;
using sim::TimedStep;
using sim::UsbDriver;

struct Load {
    const char* name;
    Nanos latency;  // the chip's read-back latency timer
    Nanos jitter;   // each write reaches the chip up to this much later
    Nanos hostLate; // the host held up between its clock and the write
};

const Load kLoads[] = {
    {"QuietBus", 1 * sim::kMs, 0, 0},
    {"FrameJitter", 1 * sim::kMs, 1 * sim::kMs, 0},
    {"FrameJitterLateHost", 1 * sim::kMs, 1 * sim::kMs, 300 * sim::kUs},
    {"LongJitterLateHostHalfMs", 500 * sim::kUs, 2500 * sim::kUs, 700 * sim::kUs},
    // Read-back that comes back at once: nothing but the host's own wait holds a level.
    {"PromptReadBackFrameJitter", 20 * sim::kUs, 1 * sim::kMs, 200 * sim::kUs},
};

std::string ChipName(ChipModel c) { return c == ChipModel::PIC18F4620 ? "PIC18F4620" : "PIC18F452"; }
std::string DriverName(UsbDriver d) { return d == UsbDriver::Libftdi ? "Libftdi" : "D2xx"; }

sim::BenchOptions Options(ChipModel chip, UsbDriver driver, const Load& load) {
    sim::BenchOptions o;
    o.kind = sim::BenchKind::VirtualUsb;
    o.chip = chip;
    o.usbDriver = driver;
    o.ftdi.readBackLatency = load.latency;
    o.ftdi.deliveryJitter = load.jitter;
    o.ftdi.hostLate = load.hostLate;
    return o;
}

const char* KindName(TimedStep::Kind k) {
    switch (k) {
    case TimedStep::Kind::ProgrammingPulse: return "programming pulse";
    case TimedStep::Kind::RowErase: return "row erase";
    case TimedStep::Kind::BulkErase: return "bulk erase";
    }
    return "?";
}

class UsbTimedSteps : public ::testing::TestWithParam<std::tuple<ChipModel, UsbDriver, size_t>> {};

// The production cycle's commands in its order on a blank module, then a
// whole-chip read: each must succeed, and the module must have seen every
// timed step at least as long as it needs.
TEST_P(UsbTimedSteps, EveryCommandKeepsEveryMinimumOnThePins) {
    const auto [chip, driver, loadIndex] = GetParam();
    const Load& load = kLoads[loadIndex];
    char tmpl[] = "/tmp/mrk-usb-steps-XXXXXX";
    const std::filesystem::path dir = mkdtemp(tmpl);
    std::ofstream(dir / "boot.hex") << sim::FactoryBootLoaderHex(chip);

    sim::Bench bench(Options(chip, driver, load));
    test::RecordingHost host;
    Context ctx(host);
    bench.Install(ctx);
    ASSERT_TRUE(OpenProgrammer(ctx));
    ctx.image.TempDir = dir.string();
    ctx.image.BootPath4620 = ctx.image.BootPath452 = (dir / "boot.hex").string();
    ASSERT_TRUE(LoadEmbeddedUpdate(ImageLoadOf(ctx)) && LoadBootLoaderFile(ImageLoadOf(ctx)));

    const std::pair<const char*, std::function<bool()>> commands[] = {
        {"erase", [&] { return EraseChip(ctx, nullptr); }},
        {"configuration", [&] { return WriteWordConfig(ConfigAccessOf(ctx), ConfigPreset::ProtectionOff); }},
        {"boot write", [&] { return WriteBoot(ctx); }},
        {"compare", [&] { return ReadBoot(ctx) && CompareChip(ctx); }},
        {"protection", [&] { return WriteWordConfig(ConfigAccessOf(ctx), ConfigPreset::CodeProtection); }},
        {"update", [&] { return WriteUpdate(ctx) == LinkResult::Sent; }},
        {"ID write", [&] { return WriteIdWords(ctx, 1234, 0x4321, 0xFFFF); }},
        {"ID read", [&] { return ReadIdWords(ctx); }},
        {"read-back", [&] {
             ctx.ind.SpeedButton21 = true;
             return ReadAll(ctx);
         }},
    };
    size_t pulses = 0, erases = 0;
    for (const auto& [name, run] : commands) {
        SCOPED_TRACE(name);
        bench.Module()->ClearTrace();
        EXPECT_TRUE(run());
        for (const TimedStep& s : bench.Module()->TimedSteps()) {
            EXPECT_GE(s.length, s.minimum) << KindName(s.kind) << " at " << s.start << " ns";
            (s.kind == TimedStep::Kind::ProgrammingPulse ? pulses : erases) += 1;
        }
    }
    EXPECT_TRUE(bench.Module()->LastEntryProblem().empty()) << bench.Module()->LastEntryProblem();
    // The boot rows, the configuration and protection bytes, the ID words; the
    // chip erase and the rows the boot write erased.
    const bool is4620 = chip == ChipModel::PIC18F4620;
    EXPECT_GE(pulses, (is4620 ? 2 * 0x400 / 64 : 2 * 0x180 / 8) + 14u + 1u);
    EXPECT_GE(erases, 2u);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

INSTANTIATE_TEST_SUITE_P(ChipsDriversLoads, UsbTimedSteps,
                         ::testing::Combine(::testing::Values(ChipModel::PIC18F452, ChipModel::PIC18F4620),
                                            ::testing::Values(UsbDriver::D2xx, UsbDriver::Libftdi),
                                            ::testing::Range<size_t>(0, std::size(kLoads))),
                         [](const auto& i) {
                             return ChipName(std::get<0>(i.param)) + DriverName(std::get<1>(i.param)) +
                                    kLoads[std::get<2>(i.param)].name;
                         });

// Notes how long the lines held each level they were set to.
class LineTap : public sim::PinTarget {
public:
    void Drive(Nanos t, const sim::ProgrammerPins& p) override {
        if (p == last_) return;
        holds.push_back({last_, t - since_});
        last_ = p;
        since_ = t;
    }
    std::optional<bool> PgdDrive(Nanos) override { return std::nullopt; }
    std::vector<std::pair<sim::ProgrammerPins, Nanos>> holds;

private:
    sim::ProgrammerPins last_;
    Nanos since_ = 0;
};

class UsbDelayHolds : public ::testing::TestWithParam<std::tuple<UsbDriver, size_t>> {};

// Each delay the protocol uses, after a clock, a data or a VPP change: the
// level holds on the pins for at least n div 100 ms before the next change.
TEST_P(UsbDelayHolds, EveryDelayHoldsTheLinesItsTime) {
    const auto [driver, loadIndex] = GetParam();
    sim::BenchOptions o = Options(ChipModel::PIC18F452, driver, kLoads[loadIndex]);
    o.chip = std::nullopt;
    sim::Bench bench(o);
    LineTap tap;
    bench.Ftdi().SetTarget(&tap);
    test::RecordingHost host;
    Context ctx(host);
    bench.Install(ctx);
    ASSERT_TRUE(ctx.surtan.Open());
    ctx.SetInterfaceUsb(true);
    ctx.surtan.Enable();

    const uint16_t delays[] = {120, 500, 600, 1200, 1500, 4000, 5000, 8000};
    // Alternately the clock, PGD and VPP change before each delay; each level is distinct.
    std::vector<Nanos> asked;
    bool clk = false, dat = false, vpp = false;
    for (int round = 0; round < 3; ++round) {
        for (uint16_t n : delays) {
            switch ((asked.size()) % 3) {
            case 0: ctx.line().SetClk(clk = !clk); break;
            case 1: ctx.line().SetDat(dat = !dat); break;
            default: EXPECT_TRUE(ctx.line().SetVpp(vpp = !vpp)); break;
            }
            EXPECT_TRUE(ctx.line().Delay(n));
            asked.push_back(n / 100 * sim::kMs);
        }
    }
    ctx.line().SetClk(!clk);
    ASSERT_TRUE(ctx.surtan.Transfer().whole);
    EXPECT_TRUE(ctx.ft.FtAnswered);
    // The first hold is the level before the first change.
    ASSERT_EQ(tap.holds.size(), asked.size() + 1);
    for (size_t k = 0; k < asked.size(); ++k)
        EXPECT_GE(tap.holds[k + 1].second, asked[k]) << "delay " << k << " of " << asked[k] / sim::kMs << " ms";
}

INSTANTIATE_TEST_SUITE_P(DriversLoads, UsbDelayHolds,
                         ::testing::Combine(::testing::Values(UsbDriver::D2xx, UsbDriver::Libftdi),
                                            ::testing::Range<size_t>(0, std::size(kLoads))),
                         [](const auto& i) {
                             return DriverName(std::get<0>(i.param)) + kLoads[std::get<1>(i.param)].name;
                         });

} // namespace
} // namespace mrk
