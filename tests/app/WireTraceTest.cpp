// The wire as it stands: every command on both chips and both programmers puts
// exactly the port accesses, FTDI transfers and delays on the lines that it did
// when the traces in wire-traces.txt were recorded. Work on the code's structure
// must leave them alone; a change of the wire is a change of the protocol and
// is recorded on purpose (MRK_RECORD_WIRE_TRACES=1 rewrites the file).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/BootImageWrite.h"
#include "app/ChipRange.h"
#include "app/CommandRig.h"
#include "app/Detection.h"
#include "config/ConfigWords.h"
#include "app/ChipRoutines.h"
#include "app/ImageAccess.h"
#include "image/FileCommands.h"

namespace mrk {
namespace {

using sim::BenchKind;
using sim::ChipModel;
using test::CommandRig;

struct Step {
    const char* name;
    std::function<bool(CommandRig&)> run;
};

// The commands of a module that leaves the factory with its boot loader, in the
// order a technician might run them; state carries from one to the next.
const std::vector<Step>& FactoryModuleSteps() {
    static const std::vector<Step> steps = {
        {"detect", [](CommandRig& r) { return DetectProgrammer(r.ctx, true).found; }},
        {"devid", [](CommandRig& r) { return ReadDevIdPlain(r.ctx); }},
        {"id-read", [](CommandRig& r) { return ReadIdWords(r.ctx); }},
        {"config-read", [](CommandRig& r) { return ReadConfigWords(r.ctx); }},
        {"read-boot", [](CommandRig& r) { return ChipRange(r.ctx, false).Read(); }},
        {"read-all", [](CommandRig& r) { return ChipRange(r.ctx, true).Read(); }},
        {"compare-boot",
         [](CommandRig& r) {
             if (!LoadBootLoaderFile(ImageLoadOf(r.ctx))) return false; // the boot-loader file as the reference
             ChipRange range(r.ctx, false);
             return range.Read() && CompareChip(r.ctx);
         }},
        {"compare-all",
         [](CommandRig& r) {
             ChipRange range(r.ctx, true);
             return range.Read() && CompareChip(r.ctx);
         }},
        {"boot-write", [](CommandRig& r) { return WriteBootImage(r.ctx); }},
        {"config-write", [](CommandRig& r) { return WriteWordConfig(ConfigAccessOf(r.ctx), ConfigPreset::AsEdited); }},
        {"id-write", [](CommandRig& r) { return WriteIdWords(r.ctx, 0x1234, 0x5678, 0x9ABC); }},
        {"id-read-again", [](CommandRig& r) { return ReadIdWords(r.ctx); }},
        {"update",
         [](CommandRig& r) {
             r.ctx.commands.Obnovl = true;
             return SpeedButton4Click(r.ctx, r.ui, Ctl::SpeedButton4).Ok();
         }},
        {"update-production",
         [](CommandRig& r) {
             r.ctx.commands.Obnovl = false;
             return SpeedButton4Click(r.ctx, r.ui, Ctl::SpeedButton4).Ok();
         }},
        {"erase", [](CommandRig& r) { return EraseChip(r.ctx); }},
    };
    return steps;
}

// A blank module prepared completely by the production cycle.
const std::vector<Step>& BlankModuleSteps() {
    static const std::vector<Step> steps = {
        {"cycle",
         [](CommandRig& r) {
             r.ctx.commands.Obnovl = false;
             r.ui.SetFactoryNumberText("1234");
             return Edit1KeyDownEnter(r.ctx, r.ui) == CycleResult::Passed;
         }},
        {"cycle-again",
         [](CommandRig& r) {
             r.ui.SetFactoryNumberText("1235");
             return Edit1KeyDownEnter(r.ctx, r.ui) == CycleResult::Passed;
         }},
    };
    return steps;
}

// One line per command: "<chip> <programmer> <command> <result> <events> <digest>".
std::string TraceLine(ChipModel chip, BenchKind kind, const char* step, bool ok, const sim::WireTrace& t) {
    std::ostringstream s;
    s << test::ChipName(chip) << ' ' << test::KindName(kind) << ' ' << step << ' ' << (ok ? "ok" : "failed") << ' '
      << t.Events() << ' ' << std::hex << t.Digest();
    return s.str();
}

struct Wire {
    ChipModel chip;
    BenchKind kind;
};

// Every command on one chip and one programmer, a trace line each.
std::vector<std::string> RunAll(const Wire& w) {
    std::vector<std::string> lines;
    const auto run = [&](const sim::BenchOptions& o, const std::vector<Step>& steps) {
        CommandRig r(o);
        r.ctx.commands.ConfigChip = 0x0105;
        for (const auto& step : steps) {
            r.bench.Trace().Clear();
            const bool ok = step.run(r);
            lines.push_back(TraceLine(w.chip, w.kind, step.name, ok, r.bench.Trace()));
        }
    };
    run(CommandRig::Factory(w.chip, w.kind), FactoryModuleSteps());
    run(CommandRig::Blank(w.chip, w.kind), BlankModuleSteps());
    return lines;
}

std::vector<std::string> ReadLines(const std::string& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);)
        if (!l.empty()) lines.push_back(l);
    return lines;
}

class WireTrace : public ::testing::TestWithParam<Wire> {};

TEST_P(WireTrace, EveryCommandPutsTheRecordedTrafficOnTheWire) {
    const Wire w = GetParam();
    const std::string file = MRK_WIRE_TRACES_FILE;
    const std::string prefix = std::string(test::ChipName(w.chip)) + ' ' + test::KindName(w.kind) + ' ';
    const std::vector<std::string> now = RunAll(w);
    std::vector<std::string> all = ReadLines(file), recorded, others;
    for (auto& l : all) (l.rfind(prefix, 0) == 0 ? recorded : others).push_back(l);
    if (std::getenv("MRK_RECORD_WIRE_TRACES")) {
        // Recorded one wire at a time (run the cases one after another, not in parallel).
        std::ofstream out(file);
        for (const auto& l : others) out << l << '\n';
        for (const auto& l : now) out << l << '\n';
        ASSERT_TRUE(out.good()) << file;
        GTEST_SKIP() << "recorded " << now.size() << " traces into " << file;
    }
    ASSERT_EQ(now.size(), recorded.size()) << "commands traced against commands recorded in " << file;
    for (size_t i = 0; i < now.size(); ++i) EXPECT_EQ(now[i], recorded[i]);
}

INSTANTIATE_TEST_SUITE_P(Wires, WireTrace,
                         ::testing::Values(Wire{ChipModel::PIC18F4620, BenchKind::VirtualLpt},
                                           Wire{ChipModel::PIC18F4620, BenchKind::VirtualUsb},
                                           Wire{ChipModel::PIC18F452, BenchKind::VirtualLpt},
                                           Wire{ChipModel::PIC18F452, BenchKind::VirtualUsb}),
                         [](const ::testing::TestParamInfo<Wire>& i) {
                             return std::string("PIC18F") + test::ChipName(i.param.chip) + "_" +
                                    test::KindName(i.param.kind);
                         });

// The trace itself tells wires apart: one access more, or the same access at
// another moment, is another trace.
TEST(WireTraceDigest, ADifferentAccessOrMomentGivesADifferentDigest) {
    sim::SimClock clock;
    sim::WireTrace a(clock), b(clock), c(clock);
    a.Record('O', 0x378, 0x08);
    b.Record('O', 0x378, 0x09);
    clock.Advance(sim::kUs);
    c.Record('O', 0x378, 0x08);
    EXPECT_NE(a.Digest(), b.Digest());
    EXPECT_NE(a.Digest(), c.Digest());
    EXPECT_EQ(a.Events(), 1u);
}

} // namespace
} // namespace mrk
