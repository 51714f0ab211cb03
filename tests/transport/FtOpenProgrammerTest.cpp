// Programmer detection falling through to the Surtan programmer on the
// virtual USB bench, and the chip identified over USB.
#include <gtest/gtest.h>

#include "core/Context.h"
#include "app/ChipRoutines.h"
#include "sim/Bench.h"
#include "support/RecordingHost.h"

namespace mrk {
namespace {

using sim::ChipModel;

struct UsbBench {
    explicit UsbBench(std::optional<ChipModel> chip, sim::VirtualFtdiOptions ftdi = {})
        : bench(Options(chip, ftdi)), ctx(host) {
        bench.Install(ctx);
    }
    static sim::BenchOptions Options(std::optional<ChipModel> chip, sim::VirtualFtdiOptions ftdi) {
        sim::BenchOptions o;
        o.kind = sim::BenchKind::VirtualUsb;
        o.chip = chip;
        o.ftdi = ftdi;
        return o;
    }
    sim::Bench bench;
    test::RecordingHost host;
    Context ctx;
};

const char* kUsbOpened = "Программатор Surtan успешно открыт!";

TEST(OpenProgrammerUsb, IdentifiesEachChipAfterTheLptProgrammerStaysSilent) {
    struct Case {
        ChipModel chip;
        bool is4620;
        uint32_t chipWords;
    } cases[] = {{ChipModel::PIC18F452, false, 0x4000}, {ChipModel::PIC18F4620, true, 0x8000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chipWords);
        UsbBench r(c.chip);
        ASSERT_TRUE(OpenProgrammer(r.ctx));
        // The LPT side was asked first and its handshakes ran out.
        EXPECT_GT(r.bench.Kordel().Reads(), 4u * 1201u);
        EXPECT_EQ(r.host.log, std::vector<std::string>{kUsbOpened});
        EXPECT_TRUE(r.host.messages.empty());
        EXPECT_TRUE(r.ctx.ind.CheckUSB);
        EXPECT_FALSE(r.ctx.ind.CheckBox1);
        EXPECT_EQ(r.ctx.ind.Prog4520, c.is4620);
        EXPECT_EQ(r.ctx.prog.ChipWords, c.chipWords);
        EXPECT_EQ(r.host.label2.substr(r.host.label2.size() - 3), "a=0");
        EXPECT_FALSE(r.bench.Module()->InProgrammingMode());
        EXPECT_EQ(r.bench.Module()->LastEntryProblem(), "");
        // Lines left as after the exit sequence: chip running, PGC high, PGD released.
        EXPECT_EQ(r.bench.Ftdi().Pins(), (sim::ProgrammerPins{sim::Mclr::Vdd, true, false}));
    }
}

TEST(OpenProgrammerUsb, TransfersOnlyWhereTheLineOperationsAskForThem) {
    UsbBench r(ChipModel::PIC18F452);
    ASSERT_TRUE(OpenProgrammer(r.ctx));
    // Open: SetVpp(0). Entry: SetVpp(0), Delay(1500), SetVpp(1). Two table
    // reads, each flushing before and after. Exit: SetVpp(0) twice.
    EXPECT_EQ(r.ctx.ft.FtWrites, 10u);
    EXPECT_EQ(r.bench.Ftdi().Writes(), 10u);
    // A VPP change's read-back is taken by the next transfer: the last one's
    // (the pins as the exit leaves them, then VPP off) is still owed.
    EXPECT_EQ(r.bench.Ftdi().Reads(), 9u);
    EXPECT_EQ(r.ctx.ft.FtUnread, 3u);
    EXPECT_EQ(r.bench.Ftdi().Samples(), r.ctx.d2xx.counters.bytesRead + r.ctx.ft.FtUnread);
}

TEST(OpenProgrammerUsb, ShortWritesStillReachTheChipInOrder) {
    sim::VirtualFtdiOptions f;
    f.fault = sim::FtdiFault::ShortWrites;
    f.shortWriteLimit = 64; // 101 passes of 64 cover the longest transfer here
    UsbBench r(ChipModel::PIC18F4620, f);
    ASSERT_TRUE(OpenProgrammer(r.ctx));
    EXPECT_TRUE(r.ctx.ind.Prog4520);
    EXPECT_EQ(r.host.log, std::vector<std::string>{kUsbOpened});
}

TEST(OpenProgrammerUsb, OneByteWritesEndTheIdentificationAsASilentProgrammer) {
    // Every transfer of an identification attempt but the smallest stays short
    // after its 101 passes: no read of the device ID comes back, and the attempts
    // stop there rather than each running its short transfers out.
    for (auto chip : {ChipModel::PIC18F452, ChipModel::PIC18F4620}) {
        sim::VirtualFtdiOptions f;
        f.fault = sim::FtdiFault::ShortWrites;
        f.shortWriteLimit = 1;
        UsbBench r(chip, f);
        EXPECT_FALSE(OpenProgrammer(r.ctx));
        EXPECT_LT(r.bench.Clock().Now(), 1000 * sim::kMs) << r.bench.Clock().Now() / sim::kMs << " ms";
        EXPECT_EQ(r.host.label2.substr(r.host.label2.size() - 3), "a=1");
        ASSERT_FALSE(r.host.messages.empty());
        EXPECT_EQ(r.host.messages.back().text, "Не верно прочитался ID процессора");
        EXPECT_FALSE(r.ctx.ind.Prog4520 || r.ctx.ind.CheckBox2);
    }
}

TEST(OpenProgrammerUsb, DescriptionInOtherLetterCaseIsNoProgrammer) {
    sim::VirtualFtdiOptions f;
    f.fault = sim::FtdiFault::WrongDescription;
    UsbBench r(ChipModel::PIC18F4620, f);
    EXPECT_FALSE(OpenProgrammer(r.ctx));
    EXPECT_EQ(r.host.log, (std::vector<std::string>{
                              "Программатор Surtan к USB не подключен.", "Программатор Kordel к LPT не подключен.",
                              "Завершите программу.Подключите программатор к USB или к LPT.Запустите программу вновь."}));
    EXPECT_EQ(r.bench.Ftdi().Opens(), 0u);
    EXPECT_TRUE(r.bench.Module()->Trace().empty());
}

TEST(OpenProgrammerUsb, UnpluggedDuringIdentificationShowsAFewBoxesNotThousands) {
    sim::VirtualFtdiOptions f;
    f.fault = sim::FtdiFault::UnplugAfterTransfers;
    f.unplugAfter = 4;
    UsbBench r(ChipModel::PIC18F4620, f);
    EXPECT_FALSE(OpenProgrammer(r.ctx));
    // The device goes away inside the first attempt's first transfer: that attempt
    // brought back nothing whole and ends the attempts.
    EXPECT_EQ(r.host.label2.substr(r.host.label2.size() - 3), "a=1");
    ASSERT_FALSE(r.host.messages.empty());
    EXPECT_LE(r.host.messages.size(), 5u);
    EXPECT_EQ(r.host.messages.back().text, "Не верно прочитался ID процессора");
}

} // namespace
} // namespace mrk
