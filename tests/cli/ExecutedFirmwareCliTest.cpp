// Trying a boot loader on the executed module from the command line, as the
// module's firmware developers do before a loader is burned into a module.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "cli/RunMrkprog.h"

namespace mrk::test {
namespace {

const std::string kFw = MRK_FIRMWARE_DIR;

TEST(ExecutedFirmwareCli, ANewLoaderOnABlankModuleTakesTheUpdateOrSaysWhyNot) {
    TempDir dir;
    const std::string boot = kFw + "/boot-452.hex";
    // The loader as built, then with every CLRWDT gone: the erased chip's watchdog ends it.
    std::string text = ReadAll(boot), noWatchdog;
    for (size_t at = 0; (at = text.find('\n')) != std::string::npos; text.erase(0, at + 1)) {
        std::string line = text.substr(0, at);
        if (line.size() > 11 && line.compare(7, 2, "00") == 0) {
            unsigned sum = 0;
            for (size_t k = 9; k + 4 <= line.size() - 2; k += 4) {
                if (line.compare(k, 4, "0400") == 0) line.replace(k, 4, "0000");
            }
            for (size_t k = 1; k + 2 < line.size() - 1; k += 2) sum += std::stoul(line.substr(k, 2), nullptr, 16);
            char cs[3];
            std::snprintf(cs, sizeof cs, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
            line.replace(line.size() - 2, 2, cs);
        }
        noWatchdog += line + "\n";
    }
    std::ofstream(dir.Path() / "no-clrwdt.hex") << noWatchdog;

    const auto ok = RunMrkprog("--module-firmware gpsim --chip 452 --module m.hex load-boot " + boot + " boot write-update",
                               dir.Path());
    EXPECT_EQ(ok.code, 0) << ok.out << ok.err;
    EXPECT_TRUE(ok.Has("КС Программы OK.")) << ok.out;

    const auto broken = RunMrkprog(
        "--module-firmware gpsim --chip 452 --module m2.hex erase load-boot no-clrwdt.hex boot write-update", dir.Path());
    EXPECT_NE(broken.code, 0);
    EXPECT_FALSE(broken.Has("КС Программы OK.")) << broken.out;
    EXPECT_TRUE(broken.ErrHas("модуль: Reset on Watch Dog Timer expire")) << broken.err;

    const auto refused = RunMrkprog("--module-firmware gpsim --fault no-boot-loader write-update", dir.Path());
    EXPECT_EQ(refused.code, 2);
    EXPECT_TRUE(refused.ErrHas("--module-firmware gpsim")) << refused.err;
}

// gpsim is only suggested by the package: a station without it (or with the
// plugin missing) is told what to install, and nothing is touched.
TEST(ExecutedFirmwareCli, WithoutGpsimTheBenchSaysWhatToInstall) {
    struct Case {
        const char* plugin;
        const char* says;
    } cases[] = {{MRK_PLUGIN_WITHOUT_GPSIM, "нужен пакет gpsim"},
                 {"/nonexistent/mrkprog-gpsim.so", "переустановите пакет mrkprog"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.plugin);
        TempDir dir;
        setenv("MRKPROG_GPSIM_PLUGIN", c.plugin, 1);
        const auto r = RunMrkprog("--module-firmware gpsim --chip 452 --module m.hex write-update", dir.Path());
        unsetenv("MRKPROG_GPSIM_PLUGIN");
        EXPECT_EQ(r.code, 1) << r.out << r.err;
        EXPECT_TRUE(r.ErrHas(c.says)) << r.err;
        EXPECT_TRUE(r.ErrHas("--module-firmware gpsim")) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_FALSE(std::filesystem::exists(dir.Path() / "m.hex")) << "no module file made";
    }
    // The model needs no gpsim.
    TempDir dir;
    setenv("MRKPROG_GPSIM_PLUGIN", "/nonexistent/mrkprog-gpsim.so", 1);
    const auto model = RunMrkprog("--bench virtual-lpt write-update", dir.Path());
    unsetenv("MRKPROG_GPSIM_PLUGIN");
    EXPECT_EQ(model.code, 0) << model.out << model.err;
}

} // namespace
} // namespace mrk::test
