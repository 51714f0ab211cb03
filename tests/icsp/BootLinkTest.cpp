// The update link to the module's boot loader, on both programmers and both chips.
#include <gtest/gtest.h>

#include "app/ImageAccess.h"
#include "icsp/BenchRig.h"
#include "app/ChipRoutines.h"
#include "image/FileCommands.h"

namespace mrk {
namespace {

using sim::BenchKind;
using sim::ChipModel;

// Counts resets: each rise of MCLR to VPP the programmer makes.
class ResetCounter : public sim::PinTarget {
public:
    explicit ResetCounter(sim::PinTarget& chip) : chip_(chip) {}
    void Drive(sim::Nanos t, const sim::ProgrammerPins& p) override {
        if (p.mclr == sim::Mclr::Vpp && last_ != sim::Mclr::Vpp) ++resets;
        last_ = p.mclr;
        chip_.Drive(t, p);
    }
    std::optional<bool> PgdDrive(sim::Nanos t) override { return chip_.PgdDrive(t); }
    int resets = 0;

private:
    sim::PinTarget& chip_;
    sim::Mclr last_ = sim::Mclr::Vdd;
};

void PutMarker(test::BenchRig& r) {
    const char marker[] = "MRK-BOOT";
    for (uint32_t k = 0; k < 8; ++k) r.Module().Poke(0x40 + k, static_cast<uint8_t>(marker[k]));
}

struct Case {
    ChipModel chip;
    BenchKind kind;
    const char* name;
};

class BootLink : public ::testing::TestWithParam<Case> {};

TEST_P(BootLink, StreamsEveryBlockAndTheModuleKeepsTheSumsInIdWordZero) {
    test::BenchRig r(test::BenchRig::Options(GetParam().chip, GetParam().kind));
    PutMarker(r);
    r.Module().Poke(0x200002, 0xD2); // ID word 1 must survive the boot loader's ID rewrite
    ASSERT_TRUE(LoadEmbeddedUpdate(ImageLoadOf(r.ctx)));
    r.host.log.clear();

    EXPECT_EQ(WriteUpdate(r.ctx), LinkResult::Sent);
    const bool is4620 = GetParam().chip == ChipModel::PIC18F4620;
    EXPECT_EQ(r.host.log, (std::vector<std::string>{"Запись закончена.",
                                                    is4620 ? "Конечный адрес=10000" : "Конечный адрес=8000",
                                                    "Проверка контрольной суммы."}));
    EXPECT_EQ(r.Module().BootLoaderBlocks(), is4620 ? 992 : 4000);
    r.Module().Settle(r.bench.Clock().Now() + 100 * sim::kMs);
    const size_t sums = 2u * r.ctx.prog.ChipWords;
    EXPECT_EQ(r.Module().Peek(0x200000), r.ctx.image.BuffEt[sums + 1]);
    EXPECT_EQ(r.Module().Peek(0x200001), r.ctx.image.BuffEt[sums + 2]);
    EXPECT_EQ(r.Module().Peek(0x200002), 0xD2);
    // The module runs with PGC high and PGD released.
    const auto pins = r.bench.Kordel().Pins();
    if (GetParam().kind == BenchKind::VirtualLpt) {
        EXPECT_TRUE(pins.pgcHigh);
        EXPECT_FALSE(pins.pgdPulledLow);
    }
}

INSTANTIATE_TEST_SUITE_P(BenchesAndChips, BootLink,
                         ::testing::Values(Case{ChipModel::PIC18F452, BenchKind::VirtualLpt, "lpt452"},
                                           Case{ChipModel::PIC18F4620, BenchKind::VirtualLpt, "lpt4620"},
                                           Case{ChipModel::PIC18F452, BenchKind::VirtualUsb, "usb452"},
                                           Case{ChipModel::PIC18F4620, BenchKind::VirtualUsb, "usb4620"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BootLinkFailures, NoBootLoaderMeansFiveResetsAndTheSixLines) {
    test::BenchRig r(test::BenchRig::Options(ChipModel::PIC18F452, BenchKind::VirtualLpt));
    ASSERT_TRUE(LoadEmbeddedUpdate(ImageLoadOf(r.ctx)));
    r.host.log.clear();
    ResetCounter counter(r.Module());
    r.bench.Kordel().SetTarget(&counter);
    EXPECT_EQ(WriteUpdate(r.ctx), LinkResult::NoLoader);
    EXPECT_EQ(counter.resets, 5);
    EXPECT_EQ(r.host.log, (std::vector<std::string>{"Нет готовности модуля.", "Неисправность!Возможные причины:",
                                                    "1)В модуле нет загрузчика!",
                                                    "2)Не включен Переключатель на программаторе.", "3)Сбой.",
                                                    "Попробуйте еще раз."}));
}

TEST(BootLinkFailures, ALostBlockRestartsFromTheStartOfTheUpdateRegion) {
    sim::ModuleFaults f;
    f.stopAfterBlock = 3;
    f.stopFirstRunOnly = true;
    auto o = test::BenchRig::Options(ChipModel::PIC18F452, BenchKind::VirtualLpt);
    o.moduleFaults = f;
    test::BenchRig r(o);
    PutMarker(r);
    ASSERT_TRUE(LoadEmbeddedUpdate(ImageLoadOf(r.ctx)));
    r.host.log.clear();
    ResetCounter counter(r.Module());
    r.bench.Kordel().SetTarget(&counter);
    EXPECT_EQ(WriteUpdate(r.ctx), LinkResult::Sent);
    EXPECT_EQ(counter.resets, 2);
    // The second run took every block from the first one on.
    EXPECT_EQ(r.Module().BootLoaderBlocks(), 4000);
}

TEST(BootLinkFailures, ABlockNeverAcknowledgedEndsWithTheAddressPastIt) {
    sim::ModuleFaults f;
    f.stopAfterBlock = 3;
    auto o = test::BenchRig::Options(ChipModel::PIC18F452, BenchKind::VirtualLpt);
    o.moduleFaults = f;
    test::BenchRig r(o);
    PutMarker(r);
    ASSERT_TRUE(LoadEmbeddedUpdate(ImageLoadOf(r.ctx)));
    r.host.log.clear();
    EXPECT_EQ(WriteUpdate(r.ctx), LinkResult::BlockLost);
    EXPECT_EQ(r.host.log, (std::vector<std::string>{"Нет готовности модуля 4620.", "a=318"}));
}

// On USB every poll of the ready wait is a USB round trip (about half a
// millisecond here): the wait is bounded by the time its polls take on the Kordel.
test::BenchRig UsbRigWithRoundTrip(ChipModel chip, sim::ModuleFaults faults = {}) {
    auto o = test::BenchRig::Options(chip, BenchKind::VirtualUsb);
    o.ftdi.pollCost = 500 * sim::kUs;
    o.moduleFaults = faults;
    return test::BenchRig(o);
}

class UsbReadyWait : public ::testing::TestWithParam<ChipModel> {};

TEST_P(UsbReadyWait, ASilentModuleIsGivenUpAfterTheKordelsTime) {
    // A blank module: nobody ever pulls PGD low.
    // After a block the first polls may go out in one transfer, as many as a
    // block's flash time or as many as one transfer holds.
    struct Case {
        int settle, afterEachHigh;
        uint32_t limitMs, queued;
    } cases[] = {{5, 4, kUsbSyncReadyMs, 0}, {2, 2, kUsbBlockReadyMs, 0}, {2, 2, kUsbBlockReadyMs, 700},
                 {2, 2, kUsbBlockReadyMs, 100000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.limitMs) + " ms, " + std::to_string(c.queued) + " queued");
        auto r = UsbRigWithRoundTrip(GetParam());
        const auto polls = r.ctx.d2xx.counters.queuePolls;
        const sim::Nanos t0 = r.bench.Clock().Now();
        QueuedPolls queued{c.queued};
        EXPECT_EQ(WaitLoaderReady(r.ctx.line(), r.ctx.TickMs, c.settle, c.afterEachHigh, c.limitMs, c.queued ? &queued : nullptr),
                  LoaderReady::NotReady);
        EXPECT_TRUE(r.host.log.empty()) << r.host.log.front();
        const sim::Nanos waited = r.bench.Clock().Now() - t0;
        EXPECT_GE(waited, c.limitMs * sim::kMs);
        // One poll more at most: a transfer of a few queue-status calls.
        EXPECT_LE(waited, (c.limitMs + 5) * sim::kMs);
        EXPECT_LT(r.ctx.d2xx.counters.queuePolls - polls, 4u * kReadyPolls / 10) << "far fewer than 65001 polls";
    }
}

TEST_P(UsbReadyWait, ABootLoaderThatFallsSilentEndsAsOnTheKordel) {
    sim::ModuleFaults f;
    f.stopAfterBlock = 3;
    auto r = UsbRigWithRoundTrip(GetParam(), f);
    PutMarker(r);
    ASSERT_TRUE(LoadEmbeddedUpdate(ImageLoadOf(r.ctx)));
    r.host.log.clear();
    const sim::Nanos t0 = r.bench.Clock().Now();
    EXPECT_EQ(WriteUpdate(r.ctx), LinkResult::BlockLost);
    const bool is4620 = GetParam() == ChipModel::PIC18F4620;
    EXPECT_EQ(r.host.log, (std::vector<std::string>{"Нет готовности модуля 4620.", is4620 ? "a=8C0" : "a=318"}));
    // Five attempts, each a reset, the synchronisation, three blocks and one
    // bounded wait: seconds, where 65001 round trips per wait took minutes.
    EXPECT_LT(r.bench.Clock().Now() - t0, kUpdateAttempts * (kUsbBlockReadyMs + 500) * sim::kMs);
}

TEST_P(UsbReadyWait, ASlowButWorkingModuleStillTakesTheWholeUpdate) {
    // Flash work three times as slow: 6 to 12 ms per block on the PIC18F452,
    // 7.5 ms on the PIC18F4620, each ready wait many round trips long.
    sim::ModuleFaults f;
    f.slowFlash = 3.0;
    auto r = UsbRigWithRoundTrip(GetParam(), f);
    PutMarker(r);
    ASSERT_TRUE(LoadEmbeddedUpdate(ImageLoadOf(r.ctx)));
    r.host.log.clear();
    EXPECT_EQ(WriteUpdate(r.ctx), LinkResult::Sent);
    const bool is4620 = GetParam() == ChipModel::PIC18F4620;
    EXPECT_EQ(r.Module().BootLoaderBlocks(), is4620 ? 992 : 4000);
    r.Module().Settle(r.bench.Clock().Now() + 200 * sim::kMs);
    const size_t sums = 2u * r.ctx.prog.ChipWords;
    EXPECT_EQ(r.Module().Peek(0x200000), r.ctx.image.BuffEt[sums + 1]);
    EXPECT_EQ(r.Module().Peek(0x200001), r.ctx.image.BuffEt[sums + 2]);
}

INSTANTIATE_TEST_SUITE_P(BothChips, UsbReadyWait, ::testing::Values(ChipModel::PIC18F452, ChipModel::PIC18F4620),
                         [](const auto& i) { return std::string(i.param == ChipModel::PIC18F4620 ? "PIC18F4620" : "PIC18F452"); });

} // namespace
} // namespace mrk
