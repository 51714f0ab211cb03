// A programmer that goes away in the middle of a chip routine: the routine stops
// there, says so once, gives false, and takes no more than a step to notice.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "icsp/BenchRig.h"
#include "app/ChipRoutines.h"
#include "icsp/Icsp.h"

namespace mrk {
namespace {

using sim::BenchKind;
using sim::ChipModel;
using test::BenchRig;

struct Routine {
    const char* name;
    std::function<bool(BenchRig&)> run;
};

// Every routine that drives the chip, with what it needs to do real work.
const Routine kRoutines[] = {
    {"erase", [](BenchRig& r) { return EraseChip(r.ctx); }},
    {"read boot", [](BenchRig& r) { return ReadBoot(r.ctx); }},
    {"read all",
     [](BenchRig& r) {
         r.ctx.ind.SpeedButton21 = true;
         return ReadAll(r.ctx);
     }},
    {"boot write",
     [](BenchRig& r) {
         // A blank chip and a boot image that differs in every row: every row is rewritten.
         for (uint32_t w = 0; w < r.ctx.prog.BootWords; ++w) r.SetRefWord(w, static_cast<uint16_t>(w * 7 + 1));
         return WriteBoot(r.ctx);
     }},
    {"id read", [](BenchRig& r) { return ReadIdWords(r.ctx); }},
    {"id write", [](BenchRig& r) { return WriteIdWords(r.ctx, 0x04D2, 0xA405, 0x00FF); }},
    {"config read", [](BenchRig& r) { return ReadConfigWords(r.ctx); }},
    {"config write",
     [](BenchRig& r) {
         const uint8_t masked[14] = {0x00, 0x27, 0x0F, 0x0F, 0x00, 0x01, 0x85,
                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40};
         for (int k = 0; k < 14; ++k) r.ctx.image.ConfigWrite[k] = masked[k] & r.Module().Peek(0x300000 + k);
         return WriteConfigWords(r.ctx);
     }},
    {"device ID", [](BenchRig& r) { return ReadDevIdPlain(r.ctx); }},
};

class LostProgrammer : public ::testing::TestWithParam<std::tuple<BenchKind, ChipModel>> {};

TEST_P(LostProgrammer, EveryRoutineStopsWhereTheProgrammerGoes) {
    const auto [kind, chip] = GetParam();
    for (const auto& routine : kRoutines) {
        SCOPED_TRACE(routine.name);
        // The whole routine on a programmer that stays: where it starts and ends.
        uint64_t start = 0, end = 0;
        sim::Nanos whole = 0;
        {
            BenchRig healthy(BenchRig::Options(chip, kind));
            start = test::ProgrammerTraffic(healthy.bench, kind);
            const sim::Nanos t0 = healthy.bench.Clock().Now();
            ASSERT_TRUE(routine.run(healthy));
            end = test::ProgrammerTraffic(healthy.bench, kind);
            whole = healthy.bench.Clock().Now() - t0;
            ASSERT_EQ(healthy.host.log, std::vector<std::string>(
                                            std::string(routine.name) == "boot write" ? 1 : 0, "Прогр. OK"));
        }
        // The same with the programmer pulled out halfway through.
        auto o = BenchRig::Options(chip, kind);
        test::UnplugProgrammerAfter(o, start + (end - start) / 2);
        BenchRig r(o);
        const sim::Nanos t0 = r.bench.Clock().Now();
        EXPECT_FALSE(routine.run(r));
        EXPECT_EQ(r.host.log, std::vector<std::string>{kProgrammerLost});
        // Noticed within one step: the time the healthy run took to reach the cut (its
        // clock runs with the port accesses or transfers), then at most about 600
        // timed-out handshakes (the longest step, the memory selection). Running on
        // would cost seconds per word read.
        EXPECT_LT(r.bench.Clock().Now() - t0, whole / 2 + 1500 * sim::kMs)
            << "whole routine " << whole / sim::kMs << " ms";
        // The Kordel let go of the lines when pulled out: the chip runs again.
        if (kind == BenchKind::VirtualLpt) {
            EXPECT_FALSE(r.Module().InProgrammingMode());
        }
    }
}

TEST(ShortUsbWrites, AReadWhoseTransferStaysShortFailsAndDecodesNothing) {
    // A device that takes 64 samples per write: 101 passes carry 6464 samples,
    // short of the 9792 of a 32-word read batch. The read-back holds only the
    // start of the batch; decoded, it would be taken for the chip's words.
    for (auto chip : {ChipModel::PIC18F452, ChipModel::PIC18F4620}) {
        SCOPED_TRACE(test::ChipName(chip));
        auto o = BenchRig::Options(chip, BenchKind::VirtualUsb);
        o.ftdi.shortWriteLimit = 64;
        BenchRig r(o);
        r.bench.Ftdi().SetFault(sim::FtdiFault::ShortWrites);
        r.ctx.image.BuffChip.fill(0x5A);
        EXPECT_FALSE(ReadBoot(r.ctx));
        EXPECT_EQ(r.host.log, std::vector<std::string>{kProgrammerLost});
        EXPECT_TRUE(std::all_of(r.ctx.image.BuffChip.begin(), r.ctx.image.BuffChip.end(),
                                [](uint8_t b) { return b == 0x5A; }))
            << "nothing decoded from the partial read-back";
        EXPECT_TRUE(r.host.messages.empty()) << "the device itself reported no error";
    }
}

INSTANTIATE_TEST_SUITE_P(BenchesAndChips, LostProgrammer,
                         ::testing::Combine(::testing::Values(BenchKind::VirtualLpt, BenchKind::VirtualUsb),
                                            ::testing::Values(ChipModel::PIC18F452, ChipModel::PIC18F4620)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) == BenchKind::VirtualLpt ? "Lpt" : "Usb") +
                                    test::ChipName(std::get<1>(info.param));
                         });

} // namespace
} // namespace mrk
