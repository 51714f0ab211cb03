// The update command end to end on the virtual bench: wait for the module,
// stream the update, confirm the checksum through ID word 0.
#include <gtest/gtest.h>

#include "app/UpdateCommand.h"
#include "icsp/BenchRig.h"
#include "image/FileCommands.h"

namespace mrk {
namespace {

using sim::BenchKind;
using sim::ChipModel;

sim::BenchOptions Factory(ChipModel chip, BenchKind kind = BenchKind::VirtualLpt) {
    auto o = test::BenchRig::Options(chip, kind);
    o.factoryBootLoader = true;
    return o;
}

UpdateCommandSteps Steps() {
    UpdateCommandSteps s;
    s.loadUpdateImage = [](Context& c) { SpeedButton7Click(c); };
    return s;
}

TEST(UpdateCommand, AFactoryModuleTakesTheUpdateAndConfirmsItsSum) {
    for (auto kind : {BenchKind::VirtualLpt, BenchKind::VirtualUsb}) {
        test::BenchRig r(Factory(ChipModel::PIC18F4620, kind));
        r.ctx.commands.SpeedButton4Tag = 1; // an earlier failure is cleared by success
        EXPECT_TRUE(RunUpdateCommand(r.ctx, Steps()));
        EXPECT_EQ(r.host.clears, 1) << "update-only mode clears the log before writing";
        ASSERT_GE(r.host.log.size(), 2u);
        EXPECT_EQ(r.host.log[r.host.log.size() - 2], "КС Программы OK.");
        EXPECT_EQ(r.host.log.back(), "Можно подключить следующий модуль.");
        EXPECT_EQ(r.ctx.commands.SpeedButton4Tag, 2u); // bit 1: ran in update-only mode
    }
}

TEST(UpdateCommand, ABlankModuleHasNoBootLoaderToTalkTo) {
    test::BenchRig r(test::BenchRig::Options(ChipModel::PIC18F452, BenchKind::VirtualLpt));
    r.ctx.commands.Obnovl = false; // production mode: the log is kept
    EXPECT_FALSE(RunUpdateCommand(r.ctx, Steps()));
    ASSERT_FALSE(r.host.log.empty());
    EXPECT_EQ(r.host.log.back(), "Попробуйте еще раз.");
    EXPECT_EQ(r.ctx.commands.SpeedButton4Tag & 1, 1u);
}

TEST(UpdateCommand, UpdateOnlyModeWithoutProgrammerEndsSilentlyAfterTheOpen) {
    auto o = test::BenchRig::Options(ChipModel::PIC18F4620, BenchKind::VirtualLpt);
    o.kordelFault = sim::KordelFault::Absent;
    sim::Bench bench(o);
    test::RecordingHost host;
    Context ctx(host);
    bench.Install(ctx);
    EXPECT_FALSE(RunUpdateCommand(ctx, Steps()));
    EXPECT_EQ(host.log.size(), 3u) << "only the programmer-open lines";
    EXPECT_TRUE(bench.Module()->Trace().empty());
}

} // namespace
} // namespace mrk
