// Several Surtans on one station: the program opens the one chosen by its serial
// number (through either driver), leaves the others alone, drives the chosen one's
// module, and says plainly when the chosen one is not attached.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/Detection.h"
#include "app/ProgrammerChoice.h"
#include "app/Station.h"
#include "core/Context.h"
#include "sim/Bench.h"
#include "support/RecordingHost.h"
#include "transport/SurtanChoice.h"

namespace mrk {
namespace {

struct Rig {
    explicit Rig(sim::UsbDriver driver, const std::string& chosen) : bench(Options(driver, chosen)), ctx(host) {
        bench.Install(ctx);
        ChooseSurtan(ctx.surtan, chosen);
    }
    static sim::BenchOptions Options(sim::UsbDriver driver, const std::string& chosen) {
        sim::BenchOptions o;
        o.kind = sim::BenchKind::VirtualUsb;
        o.usbDriver = driver;
        o.surtanSerials = {"SIM1", "SIM2", "SIM3"};
        o.chosenSurtan = chosen;
        return o;
    }
    sim::Bench bench;
    test::RecordingHost host;
    Context ctx;
};

struct DriverCase {
    const char* name;
    sim::UsbDriver driver;
};
class SeveralSurtans : public ::testing::TestWithParam<DriverCase> {};

TEST_P(SeveralSurtans, TheChosenOneIsOpenedAndDrivesItsOwnModule) {
    for (const std::string chosen : {"SIM2", "SIM3", ""}) {
        SCOPED_TRACE("chosen: " + chosen);
        Rig rig(GetParam().driver, chosen);
        const DetectOutcome d = DetectProgrammer(rig.ctx, true);
        ASSERT_TRUE(d.found) << d.serviceLabel;
        EXPECT_EQ(d.wire, "USB");
        EXPECT_EQ(d.chip, "PIC18F4620");
        const std::string expected = chosen.empty() ? "SIM1" : chosen; // none chosen: the first, as with one
        EXPECT_EQ(rig.ctx.d2xx.FtDevSerial, expected) << "the journal's record names it";
        for (sim::VirtualFtdi* s : rig.bench.Surtans()) {
            EXPECT_EQ(s->IsOpen(), s->Serial() == expected) << s->Serial();
            // Only the chosen one's pins moved: the others' modules saw nothing.
            if (s->Serial() != expected) {
                EXPECT_EQ(s->Samples(), 0u) << s->Serial();
            }
        }
        EXPECT_GT(rig.bench.Ftdi().Samples(), 0u);
        EXPECT_EQ(rig.bench.Ftdi().Serial(), expected) << "the bench's module is the chosen Surtan's";
        EXPECT_EQ(ChosenSurtanProblem(rig.ctx), "");
    }
}

TEST_P(SeveralSurtans, AChosenOneThatIsNotAttachedIsRefusedByName) {
    Rig rig(GetParam().driver, "SIM9");
    const DetectOutcome d = DetectProgrammer(rig.ctx, true);
    EXPECT_FALSE(d.found);
    for (sim::VirtualFtdi* s : rig.bench.Surtans()) EXPECT_FALSE(s->IsOpen()) << s->Serial();
    const std::string why = "Программатор Surtan с серийным номером SIM9 не подключен (подключены: SIM1, SIM2, SIM3; "
                            "список: mrkprog programmers)";
    EXPECT_EQ(ChosenSurtanProblem(rig.ctx), why);
    EXPECT_NE(std::find(d.problems.begin(), d.problems.end(), "USB: " + why), d.problems.end());
}

INSTANTIATE_TEST_SUITE_P(Drivers, SeveralSurtans,
                         ::testing::Values(DriverCase{"D2xx", sim::UsbDriver::D2xx},
                                           DriverCase{"Libftdi", sim::UsbDriver::Libftdi}),
                         [](const auto& p) { return std::string(p.param.name); });

// A module file per Surtan: "{serial}" stands for the serial number, every time it appears.
TEST(ModuleFileFor, PutsTheSerialNumberInPlace) {
    EXPECT_EQ(ModuleFileFor("mod-{serial}.hex", "SIM2"), "mod-SIM2.hex");
    EXPECT_EQ(ModuleFileFor("{serial}/{serial}.hex", "A1"), "A1/A1.hex");
    EXPECT_EQ(ModuleFileFor("module.hex", "SIM2"), "module.hex");
    EXPECT_EQ(ModuleFileFor("", "SIM2"), "");
}

// The window program's Surtan comes from its settings file ([Programmer] Serial=);
// --programmer, when given, is the one used.
TEST(ProgrammerSetting, SettingsFileChoosesTheSurtanAndTheOptionOverridesIt) {
    struct Case {
        const char* ini;
        const char* option;
        const char* used;
    };
    const Case cases[] = {
        {"", "", "VRT00001"},
        {"[Programmer]\nSerial=VRT00003\n", "", "VRT00003"},
        {"[Programmer]\nSerial= VRT00004 \n", "", "VRT00004"},
        {"[Programmer]\nSerial=VRT00003\n", "VRT00002", "VRT00002"},
    };
    char tmpl[] = "/tmp/mrk-surtans-XXXXXX";
    const std::filesystem::path dir = mkdtemp(tmpl);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.ini) + " / " + c.option);
        std::ofstream(dir / "mrkprog-gui.ini") << c.ini << "[Journal]\nEnabled=0\n";
        test::RecordingHost host;
        Station station(host);
        StationOptions o;
        o.bench = "virtual-usb";
        o.programmer = c.option;
        o.settingsPath = (dir / "mrkprog-gui.ini").string();
        ASSERT_TRUE(station.Open(o).Ok());
        EXPECT_EQ(station.Detect().found, true);
        EXPECT_EQ(station.ctx().d2xx.FtDevSerial, c.used);
        EXPECT_EQ(station.bench()->Ftdi().Serial(), c.used);
        (void)station.Close(false);
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

} // namespace
} // namespace mrk
