// How long each ICSP primitive keeps the lines busy. On USB the timing is the
// number of samples a primitive puts on the wire (one per handshake, eight per
// clock pulse) and where it transfers them; on LPT it is the number of echo
// cycles of the programmer's delay line each delay takes.
#include <gtest/gtest.h>

#include <functional>

#include "core/Context.h"
#include "app/ChipRoutines.h"
#include "icsp/Icsp.h"
#include "sim/VirtualFtdi.h"
#include "sim/VirtualKordel.h"
#include "support/RecordingHost.h"
#include "transport/D2XXUnit.h"
#include "transport/Kordel.h"
#include "transport/FtDeviceRef.h"
#include "transport/Surtan.h"
#include "transport/PortBackendRef.h"

namespace mrk {
namespace {

using Step = std::function<void(Line&)>;

// The FTDI device with the size of every write it takes.
class TransferLog : public FtDeviceRef {
public:
    TransferLog(FtDevice& dev, std::vector<uint32_t>& sizes) : FtDeviceRef(dev), sizes_(sizes) {}
    FtStatus Write(FtHandleValue h, const uint8_t* d, uint32_t n, uint32_t& w) override {
        sizes_.push_back(n);
        return FtDeviceRef::Write(h, d, n, w);
    }

private:
    std::vector<uint32_t>& sizes_;
};

struct UsbCase {
    const char* name;
    Step step;
    std::vector<uint32_t> transfers; // samples per transfer, in order
    uint32_t pending;                // samples still queued at the end
    uint32_t delayMs;                // the delays it waits, in whole milliseconds
    uint32_t roundTrips;             // read-backs it waits for outside its delays
    uint32_t owed;                   // samples whose read-back is left to the next transfer
};

void PrintTo(const UsbCase& c, std::ostream* os) { *os << c.name; }

class UsbSamples : public ::testing::TestWithParam<UsbCase> {};

TEST_P(UsbSamples, PerPrimitive) {
    const UsbCase& c = GetParam();
    sim::SimClock clock;
    sim::VirtualFtdi dev(clock, nullptr, {});
    test::RecordingHost host;
    Context ctx(host);
    std::vector<uint32_t> sizes;
    ctx.surtan.UseDevice(std::make_unique<TransferLog>(dev, sizes));
    ctx.TickMs = [&clock] { return clock.Millis(); };
    ctx.TickUs = [&clock] { return clock.Now() / sim::kUs; };
    ASSERT_TRUE(ctx.surtan.Open());
    ctx.SetInterfaceUsb(true);
    ctx.surtan.Enable();
    sizes.clear();

    const sim::Nanos t0 = clock.Now();
    c.step(ctx.line());
    EXPECT_EQ(sizes, c.transfers);
    EXPECT_EQ(ctx.ft.FTIndxOutBuff, c.pending);
    EXPECT_EQ(ctx.ft.FtUnread, c.owed);
    // A delay of n units waits n div 100 ms from the moment its read-back (and
    // that of a VPP change right before) proved its samples on the pins, which
    // a whole packet does at once; only the round trips the case lists add to
    // the time: a read, a VPP change followed by anything but a delay.
    const double latencyMs = static_cast<double>(dev.ReadBackLatency() * c.roundTrips) / static_cast<double>(sim::kMs);
    const double ms = static_cast<double>(clock.Now() - t0) / static_cast<double>(sim::kMs) - latencyMs;
    EXPECT_GE(ms, c.delayMs * 0.99);
    EXPECT_LE(ms, c.delayMs * 1.02 + 0.5);
}

const UsbCase kUsbCases[] = {
    // 3 to start, 4 command clocks, 1, 16 x (1 + 8) operand bits, 2 to end.
    {"SendCoreInstr", [](Line& c) { SendCoreInstr(c, 0x8E, 0xA6); }, {}, 182, 0, 0, 0},
    {"SendCommand", [](Line& c) { SendCommand(c, 0x9, false); }, {}, 40, 0, 0, 0},
    // The fourth clock rises, Delay(120) transfers (held high to a whole read-back
    // packet) and waits 1 ms, then it falls.
    {"SendCommandWithPulse", [](Line& c) { SendCommand(c, 0x0, true); }, {62}, 4, 1, 0, 0},
    {"SendOperand", [](Line& c) { SendOperand(c, 0x1234); }, {}, 148, 0, 0, 0},
    // What is pending goes first, then 64 lead-in + 1 release + 48 read samples.
    {"ReadTableByte",
     [](Line& c) {
         (void)c.Handshake();
         (void)ReadTableByte(c);
     },
     {1, 113}, 0, 0, 2, 0},
    // 5 to start, 8 x (1 + 3 + 1 + 4 + 1 + 4), 4 to end; the boot loader's own timing.
    {"FtSendLoaderByte", [](Line& c) { FtSendLoaderByte(c, 0xA5); }, {}, 121, 0, 0, 0},
    // Every SetVpp and Delay transfers; a delay holds its level to the end of a
    // whole read-back packet, with the VPP change before it if that is still
    // owed. A VPP change followed by a handshake and another change waits for
    // its read-back first, as it always did.
    {"EntryA", EnterProgModeA, {62, 1, 2, 2, 60}, 0, 12 + 5, 2, 0},
    {"EntryAForErase", EnterProgModeAForErase, {62, 1, 2, 2, 60}, 0, 12 + 5, 2, 0},
    // Line changes come between VPP off and the delay: the change is read back first.
    {"EntryB", EnterProgModeB, {1, 62, 1}, 0, 15, 1, 1},
    {"EntryC", EnterProgModeC, {62, 1}, 0, 12, 0, 1},
    {"EntryD", EnterProgModeD, {62, 1, 61, 1, 61, 1, 61}, 0, 4 * 12, 0, 0},
    {"EntryE", EnterProgModeE, {62, 1, 61, 1, 61, 1, 61}, 0, 3 * 40 + 5, 0, 0},
    {"Exit", ExitProgMode, {3}, 2, 0, 0, 3},
};

INSTANTIATE_TEST_SUITE_P(Primitives, UsbSamples, ::testing::ValuesIn(kUsbCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The Kordel with every port write it gets.
class PortLog : public PortBackendRef {
public:
    PortLog(PortBackend& port, std::vector<std::pair<uint16_t, uint8_t>>& writes)
        : PortBackendRef(port), writes_(writes) {}
    void Out(uint16_t port, uint8_t value) override {
        writes_.emplace_back(port, value);
        PortBackendRef::Out(port, value);
    }

private:
    std::vector<std::pair<uint16_t, uint8_t>>& writes_;
};

// Lengths, in echo cycles, of the runs of handshakes between other line changes.
// One echo cycle toggles the request bit four times; Delay(n) is n + 1 cycles.
std::vector<int> EchoRuns(const std::vector<std::pair<uint16_t, uint8_t>>& writes, uint16_t base, uint8_t data) {
    constexpr uint8_t kRequest = 0x02;
    std::vector<int> runs;
    int toggles = 0;
    auto close = [&] {
        if (toggles > 0) runs.push_back(toggles / 4);
        toggles = 0;
    };
    for (const auto& [port, value] : writes) {
        if (port == base && (value ^ data) == kRequest) {
            ++toggles;
        } else {
            close();
        }
        if (port == base) data = value;
    }
    close();
    return runs;
}

struct LptCase {
    const char* name;
    Step step;
    std::vector<int> runs;
};

void PrintTo(const LptCase& c, std::ostream* os) { *os << c.name; }

class LptDelays : public ::testing::TestWithParam<LptCase> {};

TEST_P(LptDelays, EchoCyclesPerDelay) {
    sim::SimClock clock;
    sim::VirtualKordel kordel(clock, nullptr, {});
    test::RecordingHost host;
    Context ctx(host);
    std::vector<std::pair<uint16_t, uint8_t>> writes;
    ctx.kordel.UsePortBackend(std::make_unique<PortLog>(kordel, writes));
    const uint8_t shadow = ctx.portProg.LptShadow;
    GetParam().step(ctx.line());
    EXPECT_EQ(EchoRuns(writes, ctx.portProg.AdrLpt, shadow), GetParam().runs);
}

// SetVpp(1) on the Kordel switches in two stages with Delay(4000) between them.
const LptCase kLptCases[] = {
    {"EntryA", EnterProgModeA, {1201, 4001, 1, 1, 4001, 501}},
    // The extra handshake runs straight into Delay(1200): no line changes between them.
    {"EntryAForErase", EnterProgModeAForErase, {1 + 1201, 4001, 1, 1, 4001, 501}},
    {"EntryB", EnterProgModeB, {1501, 4001}},
    {"EntryC", EnterProgModeC, {1201, 4001}},
    {"EntryD", EnterProgModeD, {1, 1201, 4001, 1201, 1201, 4001, 1201}},
    {"EntryE", EnterProgModeE, {4001, 4001, 4001, 4001, 4001, 501}},
    // Three ordinary clocks (a handshake on each side of both edges), then PGC held
    // high for Delay(120) and one handshake after it falls.
    {"ProgrammingPulse", [](Line& c) { SendCommand(c, 0x0, true); }, {1, 1, 1, 1, 1, 1, 1, 1, 1, 121, 1}},
};

INSTANTIATE_TEST_SUITE_P(Primitives, LptDelays, ::testing::ValuesIn(kLptCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A slow delay line stretches every handshake, so the delays last longer in time
// but keep their count; an echo slower than the handshake's patience is no echo.
TEST(KordelSlowEcho, StretchesDelaysUntilTheProgrammerNoLongerAnswers) {
    struct Case {
        sim::Nanos echo;
        bool answers;
    } cases[] = {{2 * sim::kUs, true}, {100 * sim::kUs, true}, {1 * sim::kMs, true}, {5 * sim::kMs, false}};
    sim::Nanos previous = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "echo " << c.echo / sim::kUs << " us");
        sim::SimClock clock;
        sim::VirtualKordel::Options o;
        o.echoDelay = c.echo;
        sim::VirtualKordel kordel(clock, nullptr, o);
        test::RecordingHost host;
        Context ctx(host);
        ctx.kordel.UsePortBackend(std::make_unique<PortBackendRef>(kordel));
        (void)ctx.line().Handshake();
        EXPECT_EQ(ctx.portProg.ProgAnswered, c.answers);
        if (!c.answers) continue;
        const sim::Nanos t0 = clock.Now();
        EXPECT_TRUE(ctx.line().Delay(100));
        const sim::Nanos took = clock.Now() - t0;
        // 101 cycles of four echo waits each.
        EXPECT_GE(took, 101 * 4 * c.echo);
        EXPECT_GT(took, previous);
        previous = took;
    }
}

} // namespace
} // namespace mrk
