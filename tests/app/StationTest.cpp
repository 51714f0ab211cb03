// The station both front ends stand on: its programmer table, the options it
// refuses before touching anything, and the bench module's file it keeps.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>

#include "app/ProgrammerTable.h"
#include "app/Station.h"
#include "app/ChipRoutines.h"
#include "sim/VirtualModule.h"
#include "support/RecordingHost.h"

namespace mrk {
namespace {

namespace fs = std::filesystem;

class StationTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("mrk-station-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    StationOptions On(const std::string& bench, const std::string& chip = "4620") const {
        StationOptions o;
        o.bench = bench;
        o.chip = chip;
        o.settingsPath = (dir_ / "mrkprog.ini").string();
        return o;
    }
    std::string Path(const char* name) const { return (dir_ / name).string(); }
    static std::string Bytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    fs::path dir_;
    test::RecordingHost host_;
};

TEST_F(StationTest, TheTableListsTheBenchBesideTheRealProgrammers) {
    struct Row {
        const char* name;
        ProgrammerWire wire;
        bool onBench;
    };
    const Row expected[] = {{"lpt", ProgrammerWire::Lpt, false},        {"libftdi", ProgrammerWire::Usb, false},
                            {"d2xx", ProgrammerWire::Usb, false},       {"virtual-lpt", ProgrammerWire::Lpt, true},
                            {"virtual-usb", ProgrammerWire::Usb, true}};
    ASSERT_EQ(ProgrammerTable().size(), std::size(expected));
    for (const Row& r : expected) {
        SCOPED_TRACE(r.name);
        const ProgrammerEntry* e = FindProgrammer(r.name);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->wire, r.wire);
        // A row is either a real driver to install or one of the bench's programmers, never both.
        EXPECT_EQ(e->bench.has_value(), r.onBench);
        EXPECT_EQ(e->install == nullptr, r.onBench);
    }
    EXPECT_EQ(FindProgrammer("virtual"), nullptr);
    EXPECT_EQ(BenchProgrammerNames(), (std::vector<std::string>{"virtual-lpt", "virtual-usb"}));
    EXPECT_EQ(UsbDriverNames(), (std::vector<std::string>{"libftdi", "d2xx"}));
    ASSERT_NE(FindModuleFirmware("model"), nullptr);
}

// Each of the bench's programmers is found on its own wire, with the chip its module holds.
TEST_F(StationTest, EachBenchProgrammerIsFoundOnItsWire) {
    for (const std::string& bench : BenchProgrammerNames()) {
        for (const std::string chip : {"4620", "452"}) {
            SCOPED_TRACE(bench + " " + chip);
            Station station(host_);
            ASSERT_TRUE(station.Open(On(bench, chip)).Ok());
            ASSERT_NE(station.bench(), nullptr);
            EXPECT_EQ(station.bench()->Options().kind, *FindProgrammer(bench)->bench);
            ASSERT_TRUE(OpenProgrammer(station.ctx()));
            EXPECT_EQ(station.ctx().IsUsb(), FindProgrammer(bench)->wire == ProgrammerWire::Usb);
            EXPECT_EQ(station.ctx().Is4620(), chip == "4620");
            EXPECT_TRUE(station.Close().Ok());
        }
    }
}

// Options that do not fit together are refused before any file or device is touched.
TEST_F(StationTest, OptionsThatDoNotFitAreRefusedAsUsage) {
    struct Case {
        const char* what;
        std::function<void(StationOptions&)> change;
        const char* says;
    };
    const Case cases[] = {
        {"unknown bench", [](StationOptions& o) { o.bench = "lpt"; }, "--bench: допустимы virtual-lpt, virtual-usb; указано lpt"},
        {"bench as USB driver", [](StationOptions& o) { o.usbDriver = "virtual-usb"; }, "--usb-driver"},
        {"unknown chip", [](StationOptions& o) { o.chip = "4520"; }, "--chip"},
        {"module without bench", [](StationOptions& o) { o.bench.clear(); o.module = "m.hex"; }, "нужен --bench"},
        {"fault without bench",
         [](StationOptions& o) {
             o.bench.clear();
             o.module.clear();
             o.faults = {"kordel-absent"};
         },
         "--fault действует на виртуальном стенде"},
        {"module without chip", [](StationOptions& o) { o.chip = "none"; o.module = "m.hex"; }, "--chip 4620 или 452"},
        {"unknown fault", [](StationOptions& o) { o.faults = {"kordel-absent", "ftdi-gone"}; }, "неизвестная неисправность стенда"},
        {"fault value", [](StationOptions& o) { o.faults = {"ftdi-unplug-after=x"}; }, "не целое число"},
        {"module firmware", [](StationOptions& o) { o.moduleFirmware = "qemu"; }, "--module-firmware"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StationOptions o = On("virtual-lpt");
        o.module = Path("kept.hex");
        c.change(o);
        Station station(host_);
        const StationStatus s = station.Open(o);
        EXPECT_EQ(s.exitCode, 2);
        EXPECT_NE(s.message.find(c.says), std::string::npos) << s.message;
        EXPECT_FALSE(station.Opened());
        EXPECT_TRUE(station.Close().Ok());
        EXPECT_FALSE(fs::exists(Path("kept.hex")));
        EXPECT_FALSE(fs::exists(o.settingsPath));
    }
}

// A module file with one bad checksum is refused and left as it is, also at close.
TEST_F(StationTest, ADamagedModuleFileIsRefusedAndKept) {
    const std::string path = Path("module.hex");
    {
        sim::VirtualModule m({});
        std::string error;
        ASSERT_TRUE(m.SaveHex(path, error)) << error;
    }
    std::string text = Bytes(path);
    const size_t eol = text.find('\n');
    ASSERT_NE(eol, std::string::npos);
    text[eol - 1] = text[eol - 1] == '0' ? '1' : '0'; // the first record's check byte
    std::ofstream(path, std::ios::binary) << text;

    for (const std::string& bench : BenchProgrammerNames()) {
        SCOPED_TRACE(bench);
        StationOptions o = On(bench);
        o.module = path;
        Station station(host_);
        const StationStatus s = station.Open(o);
        EXPECT_EQ(s.exitCode, 1);
        EXPECT_NE(s.message.find(path), std::string::npos) << s.message;
        EXPECT_FALSE(station.Opened());
        EXPECT_TRUE(station.Close().Ok());
        EXPECT_EQ(Bytes(path), text);
    }
}

// A session that leaves the module as it was does not rewrite its file; one that changes it saves it.
TEST_F(StationTest, TheModuleFileIsWrittenOnlyWhenTheModuleChanged) {
    const std::string path = Path("module.hex");
    StationOptions o = On("virtual-lpt");
    o.module = path;
    {
        Station station(host_);
        ASSERT_TRUE(station.Open(o).Ok());
        EXPECT_TRUE(station.Close().Ok());
    }
    ASSERT_TRUE(fs::exists(path)); // a module new to the file is saved
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24);
    fs::last_write_time(path, old);
    {
        Station station(host_);
        ASSERT_TRUE(station.Open(o).Ok());
        ASSERT_TRUE(OpenProgrammer(station.ctx()));
        EXPECT_TRUE(station.Close().Ok());
    }
    EXPECT_EQ(fs::last_write_time(path), old);
    const std::string before = Bytes(path);
    {
        Station station(host_);
        ASSERT_TRUE(station.Open(o).Ok());
        station.bench()->Module()->Poke(0, 0x12);
        EXPECT_TRUE(station.Close().Ok());
    }
    EXPECT_NE(Bytes(path), before);
}

} // namespace
} // namespace mrk
