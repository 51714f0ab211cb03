// The virtual Kordel pulled out of the port in the middle of a session.
#include <gtest/gtest.h>

#include <vector>

#include "sim/VirtualKordel.h"

namespace mrk::sim {
namespace {

constexpr uint16_t kData = 0x378, kStatus = 0x379, kControl = 0x37A;
constexpr uint8_t kEcho = 0x40, kPgdIn = 0x10;

struct PinLog : PinTarget {
    std::vector<ProgrammerPins> driven;
    void Drive(Nanos, const ProgrammerPins& p) override { driven.push_back(p); }
    std::optional<bool> PgdDrive(Nanos) override { return true; } // the chip drives PGD high
};

TEST(VirtualKordel, UnpluggedAfterNAccessesGoesSilentAndLetsGoOfTheLines) {
    SimClock clock;
    PinLog module;
    VirtualKordel::Options o;
    o.fault = KordelFault::UnplugAfterAccesses;
    o.unplugAfter = 4;
    VirtualKordel k(clock, &module, o);

    k.Out(kData, 0x08 | 0x10 | 0x02); // VPP on, request high
    k.Out(kControl, 0x01);            // PGC high
    clock.Advance(10 * kUs);
    const uint8_t plugged = k.In(kStatus).value();
    EXPECT_EQ(plugged & kEcho, kEcho) << "the echo follows the request";
    EXPECT_EQ(plugged & kPgdIn, 0) << "PGD high reads back through the inverter";
    ASSERT_EQ(module.driven.back().mclr, Mclr::Vpp);

    k.Out(kData, 0x08 | 0x10); // the fourth access: request low
    clock.Advance(10 * kUs);
    // From the fifth access on nothing hangs on the port.
    const uint8_t gone = k.In(kStatus).value();
    EXPECT_EQ(gone & kEcho, kEcho) << "the echo input floats, whatever the request";
    EXPECT_EQ(gone & kPgdIn, kPgdIn) << "and so does the PGD input: the chip is no longer heard";
    EXPECT_EQ(module.driven.back(), ProgrammerPins{}) << "MCLR back at VDD, PGC and PGD let go";
    const size_t drives = module.driven.size();
    k.Out(kData, 0x08 | 0x10 | 0x02);
    k.Out(kControl, 0x00);
    EXPECT_EQ(module.driven.size(), drives) << "writes reach only the PC's port registers";
    EXPECT_EQ(k.DataRegister(), 0x08 | 0x10 | 0x02);
}

} // namespace
} // namespace mrk::sim
