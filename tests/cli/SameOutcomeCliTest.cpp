// Each command on the chip through both front ends, with the programmer pulled
// out halfway through it: the window's command (as its button runs it) and
// mrkprog with the same bench fault end alike. Same lines in the log, the same
// verdict, a failure (exit code 1), and of a broken read the same words read.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "app/ChipOperations.h"
#include "app/ChipRoutines.h"
#include "app/CommandRig.h"
#include "app/ImageAccess.h"
#include "cli/RunMrkprog.h"
#include "config/ConfigEditor.h"
#include "icsp/Icsp.h"
#include "icsp/OpenProgrammer.h"
#include "image/FileCommands.h"
#include "core/Format.h"

namespace mrk {
namespace {

using sim::BenchKind;
using sim::ChipModel;
using test::CommandRig;

constexpr const char* kBootFile = MRK_FIRMWARE_DIR "/boot-452.hex";

struct Case {
    const char* name;
    std::string cliArgs;                                  // after the global options
    std::function<void(CommandRig&)> load;                // what the window has loaded before the click
    std::function<ChipOutcome(CommandRig&)> click;        // the window's command
};

void LoadBoot(CommandRig& r) {
    r.ctx.image.BootPath452 = kBootFile;
    ASSERT_TRUE(LoadBootLoaderFile(ImageLoadOf(r.ctx)));
}

// The words RD ID last read are the words WR ID writes: the command line's words.
void ReadIdWordsAs(CommandRig& r) { r.ctx.prog.IdWords = {0xFFFF, 0x04D2, 0xA405, 0x00FF}; }

std::vector<Case> Cases() {
    const auto none = [](CommandRig&) {};
    return {
        {"boot", "load-boot " + std::string(kBootFile) + " boot", LoadBoot,
         [](CommandRig& r) { return ProgClick(r.ctx, r.ui); }},
        {"read", "read", none, [](CommandRig& r) -> ChipOutcome { return ReadChipClick(r.ctx, r.ui); }},
        {"compare", "load-boot " + std::string(kBootFile) + " compare", LoadBoot,
         [](CommandRig& r) -> ChipOutcome { return SravnClick(r.ctx, r.ui); }},
        {"compare_all", "load-boot " + std::string(kBootFile) + " compare --all", LoadBoot,
         [](CommandRig& r) -> ChipOutcome { return SpeedButton21Click(r.ctx, r.ui); }},
        {"erase", "erase", none, [](CommandRig& r) { return SpeedButton12Click(r.ctx, r.ui); }},
        // The configuration window's "Чтение слова конфигурации": its fields show the bytes read, or nothing.
        {"config_read", "config read", none,
         [](CommandRig& r) {
             ConfigForm form;
             configform::ReadChipConfig(ConfigAccessOf(r.ctx), form);
             return ChipOutcome{form.LabeledEdit[0].empty() ? ChipResult::ProgrammerLost : ChipResult::Done, {}};
         }},
        {"config_protect", "load-boot " + std::string(kBootFile) + " config write --preset 2", LoadBoot,
         [](CommandRig& r) -> ChipOutcome {
             r.ui.SelectProtect(true);
             return SpeedButton13Click(r.ctx, r.ui);
         }},
        {"id_read", "id read", none, [](CommandRig& r) -> ChipOutcome { return SpeedButton11Click(r.ctx, r.ui); }},
        {"id_write", "id write 4D2 A405 FF", ReadIdWordsAs,
         [](CommandRig& r) { return SpeedButton10Click(r.ctx, r.ui); }},
        {"devid", "devid", none, [](CommandRig& r) -> ChipOutcome { return SpeedButton1Click(r.ctx, r.ui); }},
    };
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// `part` appears in `whole` in the same order (other lines may come between).
bool InOrder(const std::vector<std::string>& part, const std::vector<std::string>& whole) {
    size_t at = 0;
    for (const auto& line : whole)
        if (at < part.size() && line == part[at]) ++at;
    return at == part.size();
}

struct WindowRun {
    ChipOutcome outcome;
    std::vector<std::string> log; // what the command logged
    uint64_t opened = 0, total = 0; // the programmer's traffic after detection and after the command
    std::optional<uint32_t> readBrokeAt;
    std::vector<std::string> page0; // the first memory page as the window then lists it
};

WindowRun RunWindow(const Case& c, BenchKind kind, std::optional<uint64_t> unplugAfter) {
    // The module as the command line's bench has it without a module file: with its boot loader.
    auto o = CommandRig::Factory(ChipModel::PIC18F452, kind);
    if (unplugAfter) test::UnplugProgrammerAfter(o, *unplugAfter);
    CommandRig r(o);
    WindowRun w;
    EXPECT_TRUE(OpenProgrammer(r.ctx));
    w.opened = test::ProgrammerTraffic(r.bench, kind);
    c.load(r);
    r.host.all.clear();
    w.outcome = c.click(r);
    w.log = r.host.all;
    w.total = test::ProgrammerTraffic(r.bench, kind);
    w.readBrokeAt = r.ctx.image.ChipReadBrokeAt;
    r.host.all.clear();
    ShowPage(r.ctx, r.ui, 0);
    w.page0 = r.host.all;
    return w;
}

class SameOutcome : public ::testing::TestWithParam<BenchKind> {};

TEST_P(SameOutcome, TheWindowAndTheCommandLineEndAlikeWhenTheProgrammerGoesHalfway) {
    const BenchKind kind = GetParam();
    const std::string bench = kind == BenchKind::VirtualLpt ? "virtual-lpt" : "virtual-usb";
    const std::string fault = kind == BenchKind::VirtualLpt ? "kordel-unplug-after=" : "ftdi-unplug-after=";
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        const WindowRun healthy = RunWindow(c, kind, std::nullopt);
        ASSERT_TRUE(healthy.outcome.Ok()) << healthy.outcome.message;
        const uint64_t halfway = healthy.opened + (healthy.total - healthy.opened) / 2;
        const WindowRun window = RunWindow(c, kind, halfway);
        ASSERT_FALSE(window.outcome.Ok());
        EXPECT_NE(window.outcome.result, ChipResult::NotBegun);
        EXPECT_NE(std::find(window.log.begin(), window.log.end(), kProgrammerLost), window.log.end());

        test::TempDir dir;
        const auto cli = test::RunMrkprog("--bench " + bench + " --chip 452 --fault " + fault +
                                              std::to_string(halfway) + " " + c.cliArgs,
                                          dir.Path());
        EXPECT_EQ(cli.code, 1) << cli.out << cli.err;
        // The same lines in the same order, the lost programmer said once.
        EXPECT_TRUE(InOrder(window.log, Lines(cli.out))) << "window:\n"
                                                         << testing::PrintToString(window.log) << "\ncli:\n"
                                                         << cli.out;
        EXPECT_EQ(cli.out.find(kProgrammerLost), cli.out.rfind(kProgrammerLost));
        if (!window.outcome.message.empty()) {
            EXPECT_TRUE(cli.Has(window.outcome.message)) << cli.out;
        }
    }
}

// A broken read: the window's pages mark every word from where it stopped
// "----" (ChipCommandsTest), and the command line names the same count of words
// read and saves nothing. Cut anywhere in the read: on the Kordel at a tenth,
// half and nine tenths of its port accesses, on the Surtan after each of its
// transfers; a cut after the last word (the exit) leaves both with the whole read.
TEST_P(SameOutcome, ABrokenReadIsMarkedAtTheSameWordByBoth) {
    const BenchKind kind = GetParam();
    const std::string bench = kind == BenchKind::VirtualLpt ? "virtual-lpt" : "virtual-usb";
    const std::string fault = kind == BenchKind::VirtualLpt ? "kordel-unplug-after=" : "ftdi-unplug-after=";
    const Case read = Cases()[1];
    const WindowRun healthy = RunWindow(read, kind, std::nullopt);
    const uint64_t span = healthy.total - healthy.opened;
    std::vector<uint64_t> cuts;
    if (kind == BenchKind::VirtualLpt) {
        for (int percent : {10, 50, 90}) cuts.push_back(healthy.opened + span * percent / 100);
    } else {
        for (uint64_t t = healthy.opened; t < healthy.total; ++t) cuts.push_back(t);
    }
    int broken = 0;
    for (uint64_t cut : cuts) {
        SCOPED_TRACE("programmer gone after " + std::to_string(cut) + " of " + std::to_string(healthy.total));
        const WindowRun window = RunWindow(read, kind, cut);
        test::TempDir dir;
        const auto out = dir.Path() / "chip.hex";
        const auto cli = test::RunMrkprog("--bench " + bench + " --chip 452 --fault " + fault + std::to_string(cut) +
                                              " read --out '" + out.string() + "'",
                                          dir.Path());
        if (window.outcome.Ok()) {
            EXPECT_EQ(cli.code, 0) << cli.out << cli.err;
            EXPECT_TRUE(std::filesystem::exists(out));
            continue;
        }
        ++broken;
        ASSERT_EQ(window.outcome.result, ChipResult::ProgrammerLost);
        ASSERT_TRUE(window.readBrokeAt.has_value());
        const uint32_t wordsRead = *window.readBrokeAt;
        EXPECT_LT(wordsRead, 0x180u) << "a PIC18F452's boot region";
        // The window's first page: "Данные кристалла.", then every word from there on "----".
        ASSERT_EQ(window.page0.size(), 1u + 1024u);
        EXPECT_EQ(window.page0.front(), "Данные кристалла.");
        size_t unread = 0;
        for (const auto& line : window.page0)
            for (size_t at = line.find("----"); at != std::string::npos; at = line.find("----", at + 4)) ++unread;
        EXPECT_EQ(unread, 4u * 1024u - wordsRead);
        EXPECT_EQ(cli.code, 1);
        EXPECT_TRUE(cli.ErrHas(Format("прочитано %u слов из %u, остальные не прочитаны", wordsRead, 0x180u))) << cli.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << "half a read is not saved";
        EXPECT_FALSE(cli.Has("Данные кристалла."));
    }
    EXPECT_GE(broken, 2);
}

INSTANTIATE_TEST_SUITE_P(Benches, SameOutcome, ::testing::Values(BenchKind::VirtualLpt, BenchKind::VirtualUsb),
                         [](const auto& info) { return info.param == BenchKind::VirtualLpt ? "Lpt" : "Usb"; });

} // namespace
} // namespace mrk
