// The program on a Surtan found through the real libftdi1 and its driver for
// it, unmodified: libusb-1.0 underneath is the tests' double that shows the
// virtual bench's FT232R and module on the bus. Each command must end as it
// does through the D2XX driver on the virtual bench, with the same chip
// contents, and without paying the latency timer for every block.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "cli/RunMrkprog.h"

namespace mrk {
namespace {

using test::ReadAll;
using test::RunMrkprog;
using test::RunResult;
using test::TempDir;

const std::string kFw = MRK_FIRMWARE_DIR;
namespace fs = std::filesystem;

void WriteSettings(const fs::path& dir) {
    std::ofstream(dir / "mrkprog.ini") << "[Form_Param]\nEdit2=" << kFw << "/boot-4620.hex\nEdit5=" << kFw
                                       << "/boot-452.hex\nConfigChip=261\n";
}

// The double's counters after a run.
std::map<std::string, long long> Report(const fs::path& file) {
    std::map<std::string, long long> r;
    std::istringstream in(ReadAll(file));
    std::string key;
    long long value = 0;
    while (in >> key >> value) r[key] = value;
    return r;
}

// One command through libftdi1 on the double, in dir, on the module file module.hex there.
RunResult RunThroughLibftdi(const std::string& chip, const std::string& command, const fs::path& dir) {
    const std::string env = "MRK_USBDOUBLE_CHIP=" + chip + " MRK_USBDOUBLE_MODULE='" + (dir / "module.hex").string() +
                            "' MRK_USBDOUBLE_REPORT='" + (dir / "usb.txt").string() + "' MRK_USBDOUBLE_LOG='" +
                            (dir / "usb.log").string() + "' LD_LIBRARY_PATH='" MRK_USBDOUBLE_DIR "' ";
    // RunMrkprog puts its arguments after the program: the environment goes in through env(1).
    return test::RunMrkprogWithEnv(env, "--usb-driver libftdi --chip " + chip + " " + command, dir);
}

struct Case {
    const char* chip;
    const char* prepare;  // made on the bench first, the same start for both drivers; empty: a blank module
    const char* command;
    std::vector<const char*> says;
    // Read-back transfers that waited out the latency timer, per block the boot
    // loader took (0: no blocks); through libftdi1 waiting per chunk it was more than one.
    double tripsPerBlock;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.chip << " " << c.command; }

class LibftdiThroughUsb : public ::testing::TestWithParam<Case> {};

TEST_P(LibftdiThroughUsb, EndsAsThroughD2xxWithTheSameChipContents) {
    const Case& c = GetParam();
    TempDir d2xx, libftdi;
    for (const auto* dir : {&d2xx, &libftdi}) WriteSettings(dir->Path());
    const std::string bench = std::string("--bench virtual-usb --chip ") + c.chip + " --module module.hex ";
    if (*c.prepare) {
        const auto r = RunMrkprog(bench + c.prepare, d2xx.Path());
        ASSERT_EQ(r.code, 0) << r.out << r.err;
        fs::copy_file(d2xx.Path() / "module.hex", libftdi.Path() / "module.hex");
    }
    const auto viaD2xx = RunMrkprog(bench + "--usb-driver d2xx " + c.command, d2xx.Path());
    ASSERT_EQ(viaD2xx.code, 0) << viaD2xx.out << viaD2xx.err;
    const auto viaLibftdi = RunThroughLibftdi(c.chip, c.command, libftdi.Path());
    EXPECT_EQ(viaLibftdi.code, 0) << viaLibftdi.out << viaLibftdi.err << ReadAll(libftdi.Path() / "usb.log");
    for (const char* line : c.says) {
        EXPECT_TRUE(viaD2xx.Has(line)) << line << "\n" << viaD2xx.out;
        EXPECT_TRUE(viaLibftdi.Has(line)) << line << "\n" << viaLibftdi.out;
    }
    EXPECT_TRUE(viaLibftdi.Has("Программатор Surtan успешно открыт!")) << viaLibftdi.out;
    const std::string before = ReadAll(d2xx.Path() / "module.hex");
    ASSERT_FALSE(before.empty());
    EXPECT_EQ(ReadAll(libftdi.Path() / "module.hex"), before) << "the chip contents differ";

    const auto usb = Report(libftdi.Path() / "usb.txt");
    ASSERT_GT(usb.at("writes"), 0);
    if (c.tripsPerBlock > 0) {
        // A block's read-back ends on a whole packet, which the chip sends at once:
        // only the transfers besides the blocks wait out the latency timer.
        const long long blocks = usb.at("blocks");
        EXPECT_GE(blocks, std::string(c.chip) == "452" ? 4000 : 990);
        EXPECT_LT(static_cast<double>(usb.at("round_trips")), c.tripsPerBlock * static_cast<double>(blocks))
            << usb.at("round_trips") << " round trips for " << blocks << " blocks";
        std::printf("%s %s: %lld blocks, %lld round trips, %lld bulk OUT transfers\n", c.chip, c.command, blocks,
                    usb.at("round_trips"), usb.at("writes"));
    }
}

std::string BootOf(const char* chip) { return "erase load-boot " + kFw + "/boot-" + chip + ".hex boot"; }

const std::string kBoot4620 = BootOf("4620"), kBoot452 = BootOf("452");

INSTANTIATE_TEST_SUITE_P(
    BothChips, LibftdiThroughUsb,
    // The cycle's ICSP steps (boot loader write and verify, configuration, protection)
    // add their own few dozen round trips to the update's.
    ::testing::Values(Case{"4620", "erase", "detect", {"PIC18F4620, USB"}, 0},
                      Case{"452", "erase", "detect", {"PIC18F452, USB"}, 0},
                      Case{"4620", kBoot4620.c_str(), "write-update", {"КС Программы OK."}, 0.1},
                      Case{"452", kBoot452.c_str(), "write-update", {"КС Программы OK."}, 0.1},
                      Case{"4620", "", "cycle 1234", {"Прогр. OK", "Защита OK", "КС Программы OK.", "Номер модуля OK."}, 0.2},
                      Case{"452", "", "cycle 1234", {"Прогр. OK", "Защита OK", "КС Программы OK.", "Номер модуля OK."}, 0.2}),
    [](const ::testing::TestParamInfo<Case>& i) {
        std::string name = std::string(i.param.command).substr(0, std::string(i.param.command).find(' '));
        for (auto& ch : name)
            if (ch == '-') ch = '_';
        return name + "_" + i.param.chip;
    });

} // namespace
} // namespace mrk
