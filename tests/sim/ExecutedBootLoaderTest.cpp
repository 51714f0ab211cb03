// The demo boot loader of firmware/ executed by gpsim on the virtual module.
#include <gtest/gtest.h>

#include <chrono>

#include "app/CommandRig.h"

namespace mrk {
namespace {

using sim::BenchKind;
using sim::ChipModel;
using test::CommandRig;

TEST(ExecutedBootLoader, Smoke) {
    auto o = CommandRig::Factory(ChipModel::PIC18F4620, BenchKind::VirtualLpt);
    o.moduleFirmware = sim::ModuleFirmware::Gpsim;
    CommandRig r(o);
    const auto t0 = std::chrono::steady_clock::now();
    const bool ok = SpeedButton4Click(r.ctx, r.ui, Ctl::SpeedButton4);
    const double host = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    for (auto& l : r.host.all) printf("%s\n", l.c_str());
    for (auto& e : r.Module().FirmwareEvents()) printf("event: %s\n", e.c_str());
    printf("host %.2f s sim %.2f s\n", host, r.bench.Clock().Now() / 1e9);
    EXPECT_TRUE(ok);
}

} // namespace
} // namespace mrk
