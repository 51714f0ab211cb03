// Waits on the Surtan programmer when the queue-status calls get faster after
// the poll rate was measured: programming pulses and erase waits keep their
// length at the module's pins, and the boot region is still written.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/Context.h"
#include "icsp/OpenProgrammer.h"
#include "icsp/ProgramMemory.h"
#include "sim/Bench.h"
#include "support/RecordingHost.h"

namespace mrk {
namespace {

using sim::ChipModel;

// Sits between the FTDI pins and the module: passes everything on and notes
// how long each PGC high phase lasted.
class PgcTap : public sim::PinTarget {
public:
    explicit PgcTap(sim::PinTarget& chip) : chip_(chip) {}
    void Drive(sim::Nanos t, const sim::ProgrammerPins& p) override {
        if (p.pgcHigh && !last_.pgcHigh) riseAt_ = t;
        if (!p.pgcHigh && last_.pgcHigh) highTimes.push_back(t - riseAt_);
        last_ = p;
        chip_.Drive(t, p);
    }
    std::optional<bool> PgdDrive(sim::Nanos t) override { return chip_.PgdDrive(t); }

    std::vector<sim::Nanos> highTimes;

private:
    sim::PinTarget& chip_;
    sim::ProgrammerPins last_;
    sim::Nanos riseAt_ = 0;
};

class FasterPollsAfterOpen : public ::testing::TestWithParam<ChipModel> {};

TEST_P(FasterPollsAfterOpen, BootWriteKeepsEveryPulseAtLeastOneMillisecond) {
    sim::BenchOptions o;
    o.kind = sim::BenchKind::VirtualUsb;
    o.chip = GetParam();
    sim::Bench bench(o);
    test::RecordingHost host;
    Context ctx(host);
    bench.Install(ctx);
    ASSERT_TRUE(OpenProgrammer(ctx));
    const uint32_t measured = ctx.ft.FtPollsPerMs;

    // Five times faster than when they were counted.
    bench.Ftdi().SetPollCost(4 * sim::kUs);
    PgcTap tap(*bench.Module());
    bench.Ftdi().SetTarget(&tap);

    for (uint32_t w = 0; w < ctx.prog.BootWords; ++w) {
        ctx.image.BuffEt[2 * w] = static_cast<uint8_t>(w * 3);
        ctx.image.BuffEt[2 * w + 1] = static_cast<uint8_t>(0x40 + w);
    }
    host.log.clear();
    ASSERT_TRUE(WriteBoot(ctx));
    EXPECT_EQ(host.log, std::vector<std::string>{"Прогр. OK"});
    EXPECT_EQ(ctx.ft.FtPollsPerMs, measured) << "the poll rate is not measured again";
    for (uint32_t a = 0; a < 2 * ctx.prog.BootWords; ++a) ASSERT_EQ(bench.Module()->Peek(a), ctx.image.BuffEt[a]) << a;

    // Serial clocks are microseconds long; anything above 100 us is a programming pulse.
    std::vector<sim::Nanos> pulses;
    std::copy_if(tap.highTimes.begin(), tap.highTimes.end(), std::back_inserter(pulses),
                 [](sim::Nanos t) { return t > 100 * sim::kUs; });
    // At least one per write-buffer load of the boot region.
    const size_t writeBuffer = GetParam() == ChipModel::PIC18F4620 ? 64 : 8;
    ASSERT_GE(pulses.size(), 2 * ctx.prog.BootWords / writeBuffer);
    EXPECT_GE(*std::min_element(pulses.begin(), pulses.end()), 1 * sim::kMs);
}

INSTANTIATE_TEST_SUITE_P(BothChips, FasterPollsAfterOpen, ::testing::Values(ChipModel::PIC18F452, ChipModel::PIC18F4620),
                         [](const auto& i) { return std::string(i.param == ChipModel::PIC18F4620 ? "PIC18F4620" : "PIC18F452"); });

} // namespace
} // namespace mrk
