// The hardware debug window's buttons on the virtual bench, without the widgets.
#include <gtest/gtest.h>

#include <functional>

#include "app/DebugForm.h"
#include "core/Context.h"
#include "app/ChipRoutines.h"
#include "sim/Bench.h"
#include "support/RecordingHost.h"

namespace mrk {
namespace {

using namespace debugform;

// A host whose message pump lets a test press a button while a pattern runs.
struct PumpHost : test::RecordingHost {
    std::function<void(int)> onPump;
    void Pump() override {
        RecordingHost::Pump();
        if (onPump) onPump(pumps);
    }
};

struct DebugRig {
    explicit DebugRig(sim::BenchKind kind = sim::BenchKind::VirtualLpt,
                      sim::KordelFault fault = sim::KordelFault::None)
        : bench(Options(kind, fault)), ctx(host) {
        bench.Install(ctx);
        if (fault == sim::KordelFault::None) {
            EXPECT_TRUE(OpenProgrammer(ctx));
        }
    }
    static sim::BenchOptions Options(sim::BenchKind kind, sim::KordelFault fault) {
        sim::BenchOptions o;
        o.kind = kind;
        o.kordelFault = fault;
        return o;
    }
    sim::ProgrammerPins Pins() { return bench.Kordel().Pins(); }
    // Presses "Завершить" at the n-th pump of the pattern.
    void StopAtPump(int n) {
        host.onPump = [this, n](int pumps) {
            if (pumps == n) ZaverchClick(form);
        };
    }
    sim::Bench bench;
    PumpHost host;
    Context ctx;
    DebugForm form;
};

TEST(DebugForm, LineTogglesRememberTheirOwnLevels) {
    DebugRig r;
    SpeedButton1Click(r.ctx, r.form);
    EXPECT_EQ(r.Pins().mclr, sim::Mclr::Vpp) << "first MCLR press applies VPP";
    SpeedButton1Click(r.ctx, r.form);
    EXPECT_NE(r.Pins().mclr, sim::Mclr::Vpp) << "the second removes it";

    SpeedButton2Click(r.ctx, r.form);
    EXPECT_TRUE(r.Pins().pgcHigh);
    SpeedButton2Click(r.ctx, r.form);
    EXPECT_FALSE(r.Pins().pgcHigh);

    SpeedButton3Click(r.ctx, r.form); // raw level 1: the programmer pulls PGD low
    EXPECT_TRUE(r.Pins().pgdPulledLow);
    SpeedButton3Click(r.ctx, r.form);
    EXPECT_FALSE(r.Pins().pgdPulledLow);

    EXPECT_EQ(r.form.Label1, "Длительность RB6 10мкс.");
    SpeedButton4Click(r.ctx, r.form);
    EXPECT_EQ(r.form.Label1, "W=1 ");
    SpeedButton4Click(r.ctx, r.form);
    EXPECT_EQ(r.form.Label1, "W=0 ");
}

TEST(DebugForm, ReadingTheAcknowledgeLine) {
    DebugRig low(sim::BenchKind::VirtualLpt, sim::KordelFault::EchoStuckLow);
    SpeedButton5Click(low.ctx, low.form);
    EXPECT_EQ(low.form.Label1, "R=1 ");
    DebugRig high(sim::BenchKind::VirtualLpt, sim::KordelFault::EchoStuckHigh);
    SpeedButton5Click(high.ctx, high.form);
    EXPECT_EQ(high.form.Label1, "R=0 ");
}

TEST(DebugForm, StopEndsTheTableReadPatternWithBothLinesLow) {
    DebugRig r;
    SpeedButton2Click(r.ctx, r.form); // PGC high before the pattern
    r.StopAtPump(4);
    const auto writesBefore = r.bench.Kordel().Writes();
    ZadClick(r.ctx, r.form);
    EXPECT_EQ(r.host.pumps, 4) << "three cycles, then the stop";
    EXPECT_GT(r.bench.Kordel().Writes(), writesBefore);
    EXPECT_FALSE(r.Pins().pgcHigh);
    EXPECT_TRUE(r.Pins().pgdPulledLow) << "PGD driven low";
}

TEST(DebugForm, ClosingTheWindowStopsARunningPattern) {
    DebugRig r;
    r.host.onPump = [&](int pumps) {
        if (pumps == 3) FormClose(r.form);
    };
    DataClick(r.ctx, r.form);
    EXPECT_EQ(r.host.pumps, 3);
    EXPECT_TRUE(r.form.stop);
}

TEST(DebugForm, UsbSendsDoNothingOnLpt) {
    DebugRig r;
    r.StopAtPump(5);
    SpeedButton7Click(r.ctx, r.form);
    EXPECT_EQ(r.host.pumps, 5);
    const auto lptWrites = r.bench.Kordel().Writes();
    SpeedButton8Click(r.ctx, r.form);
    EXPECT_EQ(r.bench.Ftdi().Writes(), 0u);
    EXPECT_EQ(r.bench.Ftdi().Samples(), 0u);
    EXPECT_GE(r.bench.Kordel().Writes() - lptWrites, 202u) << "the line updates still reach the LPT port";
}

TEST(DebugForm, DelaySends54SamplesPerCycleOnUsb) {
    DebugRig r(sim::BenchKind::VirtualUsb);
    ASSERT_TRUE(r.ctx.IsUsb());
    r.StopAtPump(4);
    const auto samples = r.bench.Ftdi().Samples();
    SpeedButton7Click(r.ctx, r.form);
    EXPECT_EQ(r.bench.Ftdi().Samples() - samples, 3u * 54u);

    const auto before = r.bench.Ftdi().Samples();
    r.host.onPump = nullptr;
    SpeedButton8Click(r.ctx, r.form);
    EXPECT_EQ(r.bench.Ftdi().Samples() - before, 2u * 101u * 2u) << "two sends of 101 data and clock samples";
}

} // namespace
} // namespace mrk
