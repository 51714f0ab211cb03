// mrkprog's commands when the programmer goes away in the middle: the run fails,
// the log says why, and nothing is reported done or saved.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/RunMrkprog.h"
#include "cli/Setup.h"
#include "icsp/BenchRig.h"
#include "icsp/Icsp.h"
#include "app/ChipRoutines.h"

namespace mrk::cli {
namespace {

using sim::BenchKind;
using sim::ChipModel;

struct Outcome {
    int code = -1;
    std::string out;
};

// Runs one command line (without global options) in this process on the given
// bench, as mrkprog runs it; stdout is captured.
Outcome RunOnBench(sim::Bench& bench, const std::vector<std::string>& args) {
    CommandTable table;
    RegisterAllCommands(table);
    std::string error;
    auto segments = SplitCommands(table, args, error);
    EXPECT_TRUE(error.empty()) << error;
    testing::internal::CaptureStdout();
    Outcome o;
    {
        ConsoleHost host(false);
        Context ctx(host);
        bench.Install(ctx);
        GlobalOptions opt;
        Session s{opt, host, ctx, &bench};
        o.code = 0;
        for (auto& seg : segments) {
            auto cmd = seg.info->make();
            CLI::App app{seg.info->help, seg.info->name};
            cmd->Setup(app);
            std::vector<std::string> reversed(seg.args.rbegin(), seg.args.rend());
            app.parse(reversed);
            o.code = cmd->Run(s);
            host.EndProgress();
            if (o.code != 0) break;
        }
    }
    o.out = testing::internal::GetCapturedStdout();
    return o;
}

sim::BenchOptions Options(BenchKind kind, ChipModel chip) {
    sim::BenchOptions o;
    o.kind = kind;
    o.chip = chip; // a blank module: it compares equal with an erased reference
    return o;
}

class LostProgrammerCli : public ::testing::TestWithParam<BenchKind> {};

TEST_P(LostProgrammerCli, TheRunFailsSaysWhyAndSavesNothing) {
    const BenchKind kind = GetParam();
    const ChipModel chip = ChipModel::PIC18F452;
    test::TempDir dir;
    const std::string out = (dir.Path() / "chip.hex").string();
    struct Case {
        std::vector<std::string> args;
        const char* doneText; // what the command says when it got through
    } cases[] = {
        {{"read", "--out", out}, "Прочитано"},
        {{"read", "--all", "--out", out}, "Прочитано"},
        {{"compare"}, "Сравнение ОК"},
        {{"erase"}, "Память очищена."},
        {{"load-boot", MRK_FIRMWARE_DIR "/boot-452.hex", "boot"}, "Прогр. OK"},
        {{"config", "read"}, "Config1L"},
        {{"id", "read"}, "d[0]="},
        {{"id", "write", "4D2", "A405", "FF"}, ""},
        {{"devid"}, "Devid1="},
        {{"stamp", "--number", "1234"}, "записаны"},
    };
    // Where the open ends: the programmer goes away after it, in the command itself.
    uint64_t opened = 0;
    {
        sim::Bench b(Options(kind, chip));
        test::RecordingHost h;
        Context ctx(h);
        b.Install(ctx);
        ASSERT_TRUE(OpenProgrammer(ctx));
        opened = test::ProgrammerTraffic(b, kind);
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : std::string()));
        std::filesystem::remove(out);
        uint64_t total = 0;
        {
            sim::Bench healthy(Options(kind, chip));
            const auto r = RunOnBench(healthy, c.args);
            total = test::ProgrammerTraffic(healthy, kind);
            ASSERT_NE(r.out.find(c.doneText), std::string::npos) << r.out;
            std::filesystem::remove(out);
        }
        auto o = Options(kind, chip);
        test::UnplugProgrammerAfter(o, opened + (total - opened) / 2);
        sim::Bench bench(o);
        const auto r = RunOnBench(bench, c.args);
        EXPECT_NE(r.code, 0);
        EXPECT_NE(r.out.find(kProgrammerLost), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find(kProgrammerLost), r.out.rfind(kProgrammerLost)) << "said once";
        if (*c.doneText) {
            EXPECT_EQ(r.out.find(c.doneText), std::string::npos) << r.out;
        }
        EXPECT_FALSE(std::filesystem::exists(out)) << "no output file";
    }
}

// The update with the programmer pulled out in the middle: never "written", the
// lost programmer said once, a failed run, and no waiting on a programmer gone.
class LostProgrammerUpdate : public ::testing::TestWithParam<std::tuple<const char*, const char*>> {};

TEST_P(LostProgrammerUpdate, EndsAtTheFirstNoAnswerAndNeverReadsAsWritten) {
    const auto [benchName, chipName] = GetParam();
    const BenchKind kind = std::string(benchName) == "virtual-lpt" ? BenchKind::VirtualLpt : BenchKind::VirtualUsb;
    const ChipModel chip = std::string(chipName) == "452" ? ChipModel::PIC18F452 : ChipModel::PIC18F4620;
    auto options = [&] {
        auto o = Options(kind, chip);
        o.factoryBootLoader = true;
        return o;
    };
    uint64_t total = 0;
    sim::Nanos whole = 0;
    {
        sim::Bench healthy(options());
        const auto r = RunOnBench(healthy, {"write-update"});
        ASSERT_EQ(r.code, 0) << r.out;
        ASSERT_NE(r.out.find("КС Программы OK."), std::string::npos) << r.out;
        total = test::ProgrammerTraffic(healthy, kind);
        whole = healthy.Clock().Now();
    }
    for (int percent : {5, 40, 75, 90}) {
        SCOPED_TRACE(std::to_string(percent) + "% of the update's traffic");
        auto o = options();
        test::UnplugProgrammerAfter(o, total * percent / 100);
        sim::Bench bench(o);
        const auto r = RunOnBench(bench, {"write-update"});
        EXPECT_NE(r.code, 0);
        EXPECT_EQ(r.out.find("Запись закончена."), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("Конечный адрес="), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("КС Программы OK."), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(kProgrammerLost), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find(kProgrammerLost), r.out.rfind(kProgrammerLost)) << "said once";
        // Over as soon as the programmer is gone: never longer than a whole update
        // (on a Kordel still counted in hours before: every handshake ran out its reads).
        EXPECT_LT(bench.Clock().Now(), whole) << "whole update " << whole / sim::kMs << " ms, this run "
                                              << bench.Clock().Now() / sim::kMs << " ms";
        RecordProperty("simulated_ms_cut_at_" + std::to_string(percent),
                       std::to_string(bench.Clock().Now() / sim::kMs) + " of " + std::to_string(whole / sim::kMs));
    }
}

INSTANTIATE_TEST_SUITE_P(BenchesAndChips, LostProgrammerUpdate, test::BenchesAndChips(), test::BenchAndChipName());

INSTANTIATE_TEST_SUITE_P(Benches, LostProgrammerCli,
                         ::testing::Values(BenchKind::VirtualLpt, BenchKind::VirtualUsb),
                         [](const auto& info) { return info.param == BenchKind::VirtualLpt ? "Lpt" : "Usb"; });

} // namespace
} // namespace mrk::cli
