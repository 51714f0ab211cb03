// Waits on the Surtan programmer. Whatever the FTDI chip's read-back latency,
// and however much faster the queue-status calls got after the poll rate was
// measured, the programming pulses and the VPP levels keep at the module's pins
// at least the delays the sequences ask for, and the chip is written. A
// programmer pulled out in the middle of a wait ends the command with its
// message, soon, and never as a success.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "core/Context.h"
#include "app/ChipRoutines.h"
#include "icsp/Icsp.h"
#include "sim/Bench.h"
#include "support/RecordingHost.h"
#include "transport/D2XXUnit.h"
#include "transport/FtDeviceRef.h"

namespace mrk {
namespace {

using sim::ChipModel;
using sim::Mclr;

// Sits between the FTDI pins and the module: passes everything on and notes
// how long each PGC high phase and each MCLR level lasted.
class PinTap : public sim::PinTarget {
public:
    explicit PinTap(sim::PinTarget& chip) : chip_(chip) {}
    void Drive(sim::Nanos t, const sim::ProgrammerPins& p) override {
        if (p.pgcHigh && !last_.pgcHigh) riseAt_ = t;
        if (!p.pgcHigh && last_.pgcHigh) highTimes.push_back(t - riseAt_);
        if (p.mclr != last_.mclr) {
            if (mclrSince_) mclrPhases.push_back({last_.mclr, t - *mclrSince_});
            mclrSince_ = t;
        }
        last_ = p;
        chip_.Drive(t, p);
    }
    std::optional<bool> PgdDrive(sim::Nanos t) override { return chip_.PgdDrive(t); }

    std::vector<sim::Nanos> highTimes;
    // Each MCLR level from the first change on, with how long it held.
    std::vector<std::pair<Mclr, sim::Nanos>> mclrPhases;

private:
    sim::PinTarget& chip_;
    sim::ProgrammerPins last_;
    sim::Nanos riseAt_ = 0;
    std::optional<sim::Nanos> mclrSince_;
};

struct Rig {
    Rig(ChipModel chip, sim::Nanos latency) : bench(Options(chip, latency)), ctx(host) {
        bench.Install(ctx);
        EXPECT_TRUE(OpenProgrammer(ctx));
        host.log.clear();
    }
    static sim::BenchOptions Options(ChipModel chip, sim::Nanos latency) {
        sim::BenchOptions o;
        o.kind = sim::BenchKind::VirtualUsb;
        o.chip = chip;
        o.ftdi.readBackLatency = latency;
        return o;
    }
    sim::Bench bench;
    test::RecordingHost host;
    Context ctx;
};

struct Command {
    const char* name;
    std::function<bool(Rig&)> run;
    // Whether the module now holds what was written.
    std::function<bool(Rig&)> written;
    std::vector<std::string> log;
    // Programming pulses at least, on the PIC18F452 and the PIC18F4620.
    size_t pulses452, pulses4620;
    // The first MCLR levels of the entry, each held at least this long.
    std::vector<std::pair<Mclr, sim::Nanos>> entry;
};

void FillBootImage(Rig& r) {
    for (uint32_t w = 0; w < r.ctx.prog.BootWords; ++w) {
        r.ctx.image.BuffEt[2 * w] = static_cast<uint8_t>(w * 3);
        r.ctx.image.BuffEt[2 * w + 1] = static_cast<uint8_t>(0x40 + w);
    }
}

// The chip's defaults, masked as an image load leaves them.
void FillConfig(Rig& r) {
    const uint8_t masked[14] = {0x00, 0x27, 0x0F, 0x0F, 0x00, 0x01, 0x85, 0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40};
    for (int k = 0; k < 14; ++k) r.ctx.image.ConfigWrite[k] = masked[k] & r.bench.Module()->Peek(0x300000 + k);
}

const Command kCommands[] = {
    {"BootWrite",
     [](Rig& r) {
         FillBootImage(r);
         return WriteBoot(r.ctx);
     },
     [](Rig& r) {
         for (uint32_t a = 0; a < 2 * r.ctx.prog.BootWords; ++a)
             if (r.bench.Module()->Peek(a) != r.ctx.image.BuffEt[a]) return false;
         return true;
     },
     {"Прогр. OK"}, 2 * 0x180 / 8, 2 * 0x400 / 64,
     // VPP up, a dip of a round trip each way, then up for the settling 5 ms.
     {{Mclr::Vpp, 0}, {Mclr::Vdd, 0}, {Mclr::Vpp, 5 * sim::kMs}}},
    {"Configuration",
     [](Rig& r) {
         FillConfig(r);
         return WriteConfigWords(r.ctx);
     },
     [](Rig& r) { return r.ctx.prog.ConfigRead == r.ctx.image.ConfigWrite; }, {}, 14, 14,
     // Every change followed by Delay(1200).
     {{Mclr::Vpp, 12 * sim::kMs}, {Mclr::Vdd, 12 * sim::kMs}, {Mclr::Vpp, 12 * sim::kMs}}},
    {"IdWrite", [](Rig& r) { return WriteIdWords(r.ctx, 0x04D2, 0xA405, 0x00FF); },
     [](Rig& r) {
         const auto& m = *r.bench.Module();
         return m.Peek(0x200002) == 0xD2 && m.Peek(0x200003) == 0x04 && m.Peek(0x200004) == 0x05 &&
                m.Peek(0x200005) == 0xA4 && m.Peek(0x200006) == 0xFF && m.Peek(0x200007) == 0x00;
     },
     {}, 1, 1, {{Mclr::Vpp, 0}, {Mclr::Vdd, 0}, {Mclr::Vpp, 5 * sim::kMs}}},
};

std::string ChipName(ChipModel c) { return c == ChipModel::PIC18F4620 ? "PIC18F4620" : "PIC18F452"; }

class UsbWaitsOnThePins : public ::testing::TestWithParam<std::tuple<size_t, ChipModel, sim::Nanos>> {};

TEST_P(UsbWaitsOnThePins, PulsesAndVppLevelsKeepTheirDelays) {
    const auto [index, chip, latency] = GetParam();
    const Command& c = kCommands[index];
    Rig r(chip, latency);
    const uint32_t measured = r.ctx.ft.FtPollsPerMs;
    // Five times faster than when they were counted.
    r.bench.Ftdi().SetPollCost(4 * sim::kUs);
    PinTap tap(*r.bench.Module());
    r.bench.Ftdi().SetTarget(&tap);

    ASSERT_TRUE(c.run(r));
    EXPECT_EQ(r.host.log, c.log);
    EXPECT_TRUE(c.written(r));
    EXPECT_EQ(r.ctx.ft.FtPollsPerMs, measured) << "the poll rate is not measured again";

    // Serial clocks are microseconds long; anything above 100 us is a programming pulse.
    std::vector<sim::Nanos> pulses;
    std::copy_if(tap.highTimes.begin(), tap.highTimes.end(), std::back_inserter(pulses),
                 [](sim::Nanos t) { return t > 100 * sim::kUs; });
    ASSERT_GE(pulses.size(), chip == ChipModel::PIC18F4620 ? c.pulses4620 : c.pulses452);
    EXPECT_GE(*std::min_element(pulses.begin(), pulses.end()), 1 * sim::kMs);

    ASSERT_GE(tap.mclrPhases.size(), c.entry.size());
    for (size_t k = 0; k < c.entry.size(); ++k) {
        SCOPED_TRACE("MCLR level " + std::to_string(k));
        EXPECT_EQ(tap.mclrPhases[k].first, c.entry[k].first);
        EXPECT_GE(tap.mclrPhases[k].second, c.entry[k].second);
    }
}

INSTANTIATE_TEST_SUITE_P(CommandsChipsLatencies, UsbWaitsOnThePins,
                         ::testing::Combine(::testing::Range<size_t>(0, std::size(kCommands)),
                                            ::testing::Values(ChipModel::PIC18F452, ChipModel::PIC18F4620),
                                            ::testing::Values(500 * sim::kUs, 1 * sim::kMs, 3 * sim::kMs)),
                         [](const auto& i) {
                             return std::string(kCommands[std::get<0>(i.param)].name) + ChipName(std::get<1>(i.param)) +
                                    "Latency" + std::to_string(std::get<2>(i.param) / sim::kUs) + "us";
                         });

// The FTDI device pulled out right after it took a chosen write: every call
// after that fails, as D2XX calls do on a device that is gone.
class PullOut : public FtDeviceRef {
public:
    using When = std::function<bool(uint8_t lastBefore, uint8_t last)>;
    PullOut(FtDevice& dev, sim::SimClock& clock, When when, int nth)
        : FtDeviceRef(dev), clock_(clock), when_(std::move(when)), nth_(nth) {}
    FtStatus Write(FtHandleValue h, const uint8_t* d, uint32_t n, uint32_t& w) override {
        if (pulledAt) return ftstatus::kIoError;
        const FtStatus st = FtDeviceRef::Write(h, d, n, w);
        if (w == 0) return st;
        if (when_(last_, d[w - 1]) && --nth_ == 0) pulledAt = clock_.Now();
        last_ = d[w - 1];
        return st;
    }
    FtStatus GetQueueStatus(FtHandleValue h, uint32_t& q) override {
        return pulledAt ? ftstatus::kIoError : FtDeviceRef::GetQueueStatus(h, q);
    }
    FtStatus Read(FtHandleValue h, uint8_t* d, uint32_t n, uint32_t& r) override {
        r = 0;
        return pulledAt ? ftstatus::kIoError : FtDeviceRef::Read(h, d, n, r);
    }
    FtStatus Purge(FtHandleValue h, uint32_t m) override {
        return pulledAt ? ftstatus::kIoError : FtDeviceRef::Purge(h, m);
    }
    std::optional<sim::Nanos> pulledAt;

private:
    sim::SimClock& clock_;
    When when_;
    int nth_;
    uint8_t last_ = 0;
};

// Bits of the Surtan's pin image.
constexpr uint8_t kClkLow = 0x04, kVpp = 0x20;

// The write that starts a programming pulse: it ends with PGC high in programming mode.
bool PulseStarts(uint8_t, uint8_t last) { return (last & kVpp) && !(last & kClkLow); }
// The write that raises VPP.
bool VppRises(uint8_t before, uint8_t last) { return !(before & kVpp) && (last & kVpp); }

struct PullCase {
    const char* name;
    size_t command;
    PullOut::When when;
    int nth;
};

const PullCase kPulls[] = {
    {"BootWriteFirstPulse", 0, PulseStarts, 1},
    {"BootWriteTenthPulse", 0, PulseStarts, 10},
    {"ConfigurationFirstPulse", 1, PulseStarts, 1},
    {"ConfigurationLastPulse", 1, PulseStarts, 14},
    {"IdWritePulse", 2, PulseStarts, 1},
    // VPP raised and a delay straight after: the delay takes the change's read-back.
    {"ConfigurationVppBeforeItsDelay", 1, VppRises, 1},
    {"IdWriteVppBeforeTheSettling", 2, VppRises, 2},
    // VPP raised, then a handshake and VPP off: the change's read-back is waited for first.
    {"BootWriteVppBeforeTheDip", 0, VppRises, 1},
};

class PulledOutInAWait : public ::testing::TestWithParam<std::tuple<size_t, ChipModel>> {};

TEST_P(PulledOutInAWait, EndsTheCommandWithTheProgrammerLost) {
    const auto [index, chip] = GetParam();
    const PullCase& p = kPulls[index];
    Rig r(chip, 1 * sim::kMs);
    auto device = std::make_unique<PullOut>(r.bench.Ftdi(), r.bench.Clock(), p.when, p.nth);
    PullOut& pull = *device;
    r.ctx.surtan.UseDevice(std::move(device));

    EXPECT_FALSE(kCommands[p.command].run(r));
    ASSERT_TRUE(pull.pulledAt) << "the chosen write never came";
    EXPECT_EQ(r.host.log, std::vector<std::string>{kProgrammerLost});
    // Noticed at the wait's first poll, not after the wait or a read time-out.
    EXPECT_LT(r.bench.Clock().Now() - *pull.pulledAt, 1 * sim::kMs);
}

INSTANTIATE_TEST_SUITE_P(WaitsAndChips, PulledOutInAWait,
                         ::testing::Combine(::testing::Range<size_t>(0, std::size(kPulls)),
                                            ::testing::Values(ChipModel::PIC18F452, ChipModel::PIC18F4620)),
                         [](const auto& i) {
                             return std::string(kPulls[std::get<0>(i.param)].name) + ChipName(std::get<1>(i.param));
                         });

} // namespace
} // namespace mrk
