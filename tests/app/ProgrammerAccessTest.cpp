// Why no programmer answered: the lines the window's log and detect --verbose show.
#include <gtest/gtest.h>

#include "app/ProgrammerAccess.h"
#include "core/Context.h"
#include "app/ChipRoutines.h"
#include "sim/Bench.h"
#include "support/RecordingHost.h"

namespace mrk {
namespace {

struct Rig {
    explicit Rig(sim::BenchOptions o) : bench(o), ctx(host) { bench.Install(ctx); }
    sim::Bench bench;
    test::RecordingHost host;
    Context ctx;
};

TEST(ProgrammerAccess, SaysForEachProgrammerWhyItWasNotFound) {
    struct Case {
        const char* name;
        sim::BenchKind kind;
        sim::KordelFault kordel;
        sim::FtdiFault ftdi;
        std::vector<std::string> report;
    };
    const Case cases[] = {
        {"the Surtan answers", sim::BenchKind::VirtualUsb, sim::KordelFault::None, sim::FtdiFault::None, {}},
        {"the Kordel answers", sim::BenchKind::VirtualLpt, sim::KordelFault::None, sim::FtdiFault::Absent, {}},
        {"neither is plugged in",
         sim::BenchKind::VirtualUsb,
         sim::KordelFault::Absent,
         sim::FtdiFault::Absent,
         {"LPT: виртуальный программатор Kordel на 378: программатор Kordel не отвечает",
          "USB: устройств FTDI не найдено (Surtan не подключен к USB)"}},
        {"an FTDI device that is not a Surtan",
         sim::BenchKind::VirtualUsb,
         sim::KordelFault::Absent,
         sim::FtdiFault::WrongDescription,
         {"LPT: виртуальный программатор Kordel на 378: программатор Kordel не отвечает",
          "USB: устройств FTDI: 1, ни одно не описано как \"Surtan\""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::BenchOptions o;
        o.kind = c.kind;
        o.kordelFault = c.kordel;
        o.ftdi.fault = c.ftdi;
        Rig rig(o);
        OpenProgrammer(rig.ctx);
        EXPECT_EQ(ProgrammerAccessReport(rig.ctx), c.report);
    }
}

TEST(ProgrammerAccess, NamesWhyThePortCouldNotBeOpened) {
    test::RecordingHost host;
    Context ctx(host);
    ctx.directPort.openReport = "ppdev: не удалось открыть /dev/parport0: нет доступа\nioperm: нет доступа";
    const auto report = ProgrammerAccessReport(ctx);
    ASSERT_EQ(report.size(), 2u);
    EXPECT_EQ(report[0], "LPT: порт не открыт: ppdev: не удалось открыть /dev/parport0: нет доступа; ioperm: нет доступа");
    EXPECT_EQ(report[1], "USB: драйвер USB не загружен");
}

} // namespace
} // namespace mrk
