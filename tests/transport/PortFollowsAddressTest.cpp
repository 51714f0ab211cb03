// The LPT port follows AdrLpt: after the address changes, the next access goes
// to the port at the new address, and only then is a port opened again.
#include <gtest/gtest.h>

#include "core/Context.h"
#include "sim/VirtualKordel.h"
#include "support/RecordingHost.h"
#include "transport/Kordel.h"
#include "transport/PortBackendRef.h"

namespace mrk {
namespace {

// A machine with one Kordel card at 0x3BC and nothing at the other addresses.
struct Machine : ::testing::Test {
    Machine() : kordel(clock, nullptr, Card()), ctx(host) {}
    static sim::VirtualKordel::Options Card() {
        sim::VirtualKordel::Options o;
        o.base = 0x3BC;
        return o;
    }
    PortOpener Opener() {
        return [this](uint16_t base, std::string& report) -> std::unique_ptr<PortBackend> {
            opened.push_back(base);
            if (base != 0x3BC) {
                report = "no port at this address";
                return nullptr;
            }
            report = "card at 3BC";
            return std::make_unique<PortBackendRef>(kordel);
        };
    }
    sim::SimClock clock;
    sim::VirtualKordel kordel;
    test::RecordingHost host;
    Context ctx;
    std::vector<uint16_t> opened;
};

TEST_F(Machine, ChangedAddressReachesThePortAtTheNextAccess) {
    ctx.portProg.AdrLpt = 0x378;
    ctx.kordel.UsePortOpener(Opener());
    ctx.line().Handshake();
    EXPECT_FALSE(ctx.portProg.ProgAnswered);
    EXPECT_EQ(ctx.directPort.openReport, "no port at this address");
    EXPECT_EQ(kordel.Reads() + kordel.Writes(), 0u);

    ctx.portProg.AdrLpt = 0x3BC;
    ctx.line().Handshake();
    EXPECT_TRUE(ctx.portProg.ProgAnswered);
    EXPECT_GT(kordel.Reads(), 0u);
    ctx.line().Handshake();
    EXPECT_EQ(opened, (std::vector<uint16_t>{0x378, 0x3BC})) << "opened once per address change, not per access";

    const auto seen = kordel.Reads() + kordel.Writes();
    ctx.portProg.AdrLpt = 0x278;
    ctx.line().Handshake();
    EXPECT_FALSE(ctx.portProg.ProgAnswered);
    EXPECT_EQ(kordel.Reads() + kordel.Writes(), seen) << "the card at 3BC was released";
    EXPECT_EQ(opened.back(), 0x278);
}

TEST_F(Machine, ReleasedPortIsNotReopened) {
    ctx.portProg.AdrLpt = 0x3BC;
    ctx.kordel.UsePortOpener(Opener());
    ctx.kordel.RemoveGiveIo();
    ctx.portProg.AdrLpt = 0x378;
    EXPECT_EQ(ctx.kordel.PortIn(0x379), std::nullopt) << "no port, nothing read";
    EXPECT_EQ(opened.size(), 1u);
}

TEST_F(Machine, ABusWideBackendNeedsNoReopening) {
    // The virtual bench sits on the bus and answers at its own address only.
    ctx.kordel.UsePortBackend(std::make_unique<PortBackendRef>(kordel));
    ctx.portProg.AdrLpt = 0x378;
    ctx.line().Handshake();
    EXPECT_FALSE(ctx.portProg.ProgAnswered);
    ctx.portProg.AdrLpt = 0x3BC;
    ctx.line().Handshake();
    EXPECT_TRUE(ctx.portProg.ProgAnswered);
}

} // namespace
} // namespace mrk
