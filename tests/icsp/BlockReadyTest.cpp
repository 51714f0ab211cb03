// On USB the ready polls of an update block go out in the block's own transfer:
// the lines must see what one poll per transfer put on them, a block slower
// than the ones before must still be waited for, and the update must cost about
// one round trip per block.
#include <gtest/gtest.h>

#include <vector>

#include "app/ImageAccess.h"
#include "icsp/BenchRig.h"
#include "app/ChipRoutines.h"
#include "icsp/ReadyForecast.h"
#include "image/FileCommands.h"
#include "transport/D2XXUnit.h"
#include "transport/FtDeviceRef.h"

namespace mrk {
namespace {

using sim::BenchKind;
using sim::ChipModel;

// Bits of the Surtan's pin image as the FTDI chip clocks it out.
constexpr uint8_t kClkLow = 0x04, kPgdIn = 0x08, kPgdOut = 0x40, kMark = 0x80;

// Every sample the host writes and every byte read back, in order: in
// synchronous bit-bang the two streams pair up one to one.
class SampleRecorder : public FtDeviceRef {
public:
    using FtDeviceRef::FtDeviceRef;
    FtStatus Write(FtHandleValue h, const uint8_t* d, uint32_t n, uint32_t& w) override {
        const FtStatus st = FtDeviceRef::Write(h, d, n, w);
        out.insert(out.end(), d, d + w);
        return st;
    }
    FtStatus Read(FtHandleValue h, uint8_t* d, uint32_t n, uint32_t& r) override {
        const FtStatus st = FtDeviceRef::Read(h, d, n, r);
        back.insert(back.end(), d, d + r);
        return st;
    }
    std::vector<uint8_t> out, back;
};

// Holds back one block's ready signal: the module's low on PGD shows only
// `extra` after the PGC high phase of that block's wait began, as if its
// flash write had taken that much longer.
class SlowBlock : public sim::PinTarget {
public:
    SlowBlock(sim::PinTarget& chip, int block, sim::Nanos extra) : chip_(chip), block_(block), extra_(extra) {}
    void Drive(sim::Nanos t, const sim::ProgrammerPins& p) override {
        if (p.pgcHigh && !last_.pgcHigh) {
            riseAt_ = t;
            lowSeen_ = false;
        }
        if (!p.pgcHigh && last_.pgcHigh && lowSeen_) ++readyPhases_;
        last_ = p;
        chip_.Drive(t, p);
    }
    std::optional<bool> PgdDrive(sim::Nanos t) override {
        const auto d = chip_.PgdDrive(t);
        if (!d || *d) return d;
        // The synchronisation's ready is phase 0; block k's is phase k + 1.
        if (readyPhases_ == block_ + 1 && t < riseAt_ + extra_) {
            held = true;
            return std::nullopt;
        }
        lowSeen_ = true;
        return d;
    }
    bool held = false;

private:
    sim::PinTarget& chip_;
    int block_;
    sim::Nanos extra_;
    sim::ProgrammerPins last_;
    sim::Nanos riseAt_ = 0;
    bool lowSeen_ = false;
    int readyPhases_ = 0;
};

void PutMarker(test::BenchRig& r) {
    const char marker[] = "MRK-BOOT";
    for (uint32_t k = 0; k < 8; ++k) r.Module().Poke(0x40 + k, static_cast<uint8_t>(marker[k]));
}

bool SumsInIdWordZero(test::BenchRig& r) {
    r.Module().Settle(r.bench.Clock().Now() + 200 * sim::kMs);
    const size_t sums = 2u * r.ctx.prog.ChipWords;
    return r.Module().Peek(0x200000) == r.ctx.image.BuffEt[sums + 1] &&
           r.Module().Peek(0x200001) == r.ctx.image.BuffEt[sums + 2];
}

class BlockReady : public ::testing::TestWithParam<ChipModel> {
protected:
    bool Is4620() const { return GetParam() == ChipModel::PIC18F4620; }
    uint64_t Blocks() const { return Is4620() ? 992 : 4000; }
};

TEST_P(BlockReady, EachWaitPutsOnTheLinesWhatOnePollPerTransferDid) {
    test::BenchRig r(test::BenchRig::Options(GetParam(), BenchKind::VirtualUsb));
    PutMarker(r);
    ASSERT_TRUE(LoadEmbeddedUpdate(ImageLoadOf(r.ctx)));
    auto recorder = std::make_unique<SampleRecorder>(r.bench.Ftdi());
    SampleRecorder& rec = *recorder;
    r.ctx.surtan.UseDevice(std::move(recorder));
    const uint64_t trips = r.bench.Ftdi().RoundTrips();
    // The read-back still owed to the VPP change that ended the identification comes first.
    const uint32_t owed = r.ctx.ft.FtUnread;
    ASSERT_EQ(WriteUpdate(r.ctx), LinkResult::Sent);
    ASSERT_GE(rec.back.size(), owed);
    rec.back.erase(rec.back.begin(), rec.back.begin() + owed);
    ASSERT_EQ(rec.out.size(), rec.back.size());
    EXPECT_TRUE(SumsInIdWordZero(r));

    // Each PGC high phase that holds line reads is a ready wait: PGD released
    // all through it, the reads the same number of samples apart (a read and
    // its handshakes), PGC falling right after the samples of the last read,
    // and only after a read that saw the module pull PGD low.
    auto pgcHigh = [](uint8_t s) { return (s & kClkLow) == 0; };
    uint64_t waits = 0;
    size_t i = 0;
    while (i < rec.out.size()) {
        if (!pgcHigh(rec.out[i])) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < rec.out.size() && pgcHigh(rec.out[end])) ++end;
        std::vector<size_t> reads;
        for (size_t k = i; k < end; ++k)
            if ((rec.out[k] & kMark) && (k == 0 || !(rec.out[k - 1] & kMark))) reads.push_back(k);
        if (!reads.empty()) {
            SCOPED_TRACE("wait " + std::to_string(waits) + " at sample " + std::to_string(i));
            ++waits;
            // PGD is released with the sample after PGC rose, then the handshakes
            // that let the lines settle (five after the synchronisation, two after a block).
            EXPECT_EQ(reads.front() - i, waits == 1 ? 7u : 4u);
            for (size_t k = i + 1; k < end; ++k) ASSERT_EQ(rec.out[k] & kPgdOut, 0) << k;
            // A transfer of polls ends with the lines held until its read-back
            // fills a whole packet: up to 61 samples more after its last read.
            const size_t spacing = waits == 1 ? 9 : 7; // the synchronisation's wait has four handshakes a poll
            for (size_t k = 1; k < reads.size(); ++k) {
                ASSERT_GE(reads[k] - reads[k - 1], spacing) << k;
                ASSERT_LT(reads[k] - reads[k - 1], spacing + 62) << k;
            }
            if (end < rec.out.size()) {
                EXPECT_GE(end - reads.back(), 5u) << "PGC falls after the read's samples";
                EXPECT_LT(end - reads.back(), 5u + 62) << "and the samples that fill its packet";
            }
            bool ready = false;
            for (size_t k : reads) ready = ready || !(rec.back[k + 1] & kPgdIn);
            EXPECT_TRUE(ready) << "PGC fell before the module said ready";
            if (::testing::Test::HasFailure()) break;
        }
        i = end;
    }
    EXPECT_EQ(waits, Blocks() + 1);
    // About one round trip a block: a few more while the first blocks teach
    // the host how long the module's flash writes take.
    EXPECT_LE(r.bench.Ftdi().RoundTrips() - trips, Blocks() + 40);
}

TEST_P(BlockReady, ABlockSlowerThanTheOnesBeforeIsStillWaitedFor) {
    // Well past the first row, so the host has learnt the flash times; 12 ms
    // more is several times a block's flash write.
    test::BenchRig r(test::BenchRig::Options(GetParam(), BenchKind::VirtualUsb));
    PutMarker(r);
    ASSERT_TRUE(LoadEmbeddedUpdate(ImageLoadOf(r.ctx)));
    r.host.log.clear();
    SlowBlock slow(r.Module(), 40, 12 * sim::kMs);
    r.bench.Ftdi().SetTarget(&slow);
    EXPECT_EQ(WriteUpdate(r.ctx), LinkResult::Sent);
    EXPECT_TRUE(slow.held);
    EXPECT_EQ(r.host.log.front(), "Запись закончена.");
    EXPECT_EQ(r.Module().BootLoaderBlocks(), Blocks());
    EXPECT_TRUE(SumsInIdWordZero(r));
}

INSTANTIATE_TEST_SUITE_P(BothChips, BlockReady, ::testing::Values(ChipModel::PIC18F452, ChipModel::PIC18F4620),
                         [](const auto& i) { return std::string(i.param == ChipModel::PIC18F4620 ? "PIC18F4620" : "PIC18F452"); });

TEST(ReadyForecast, EachPlaceInTheEraseRowKeepsItsOwnFlashTime) {
    // PIC18F452: eight blocks a row, the first of them also erases it.
    ReadyForecast f(8);
    const uint32_t first = f.PollsFor(0x200);
    EXPECT_GT(first, 0u);
    f.Learn(0x200, 1400);
    EXPECT_GE(f.PollsFor(0x208), 1400u) << "a place not seen yet takes the longest seen";
    f.Learn(0x208, 700);
    EXPECT_GE(f.PollsFor(0x240), 1400u);
    EXPECT_GE(f.PollsFor(0x248), 700u);
    EXPECT_LT(f.PollsFor(0x248), 800u) << "a little more than seen, not the row's longest";
}

} // namespace
} // namespace mrk
