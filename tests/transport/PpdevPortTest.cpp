// Finding the parallel port by its base address, as the kernel lists it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "transport/PpdevPort.h"

namespace mrk {
namespace {

class ProcTree : public ::testing::Test {
protected:
    ProcTree() {
        char tmpl[] = "/tmp/mrk-parport-XXXXXX";
        dir = mkdtemp(tmpl);
    }
    ~ProcTree() override { std::filesystem::remove_all(dir); }
    void Port(int n, const std::string& baseAddr) {
        std::filesystem::create_directories(dir / ("parport" + std::to_string(n)));
        std::ofstream(dir / ("parport" + std::to_string(n)) / "base-addr") << baseAddr;
    }
    std::filesystem::path dir;
};

TEST_F(ProcTree, BaseAddressIsTheFirstNumberTheKernelGives) {
    Port(0, "888\t1912\n"); // 0x378 and its ECP registers
    Port(1, "632\t-1\n");   // 0x278
    Port(2, "garbage\n");
    EXPECT_EQ(ParportBaseAddress(dir.string(), 0), 0x378);
    EXPECT_EQ(ParportBaseAddress(dir.string(), 1), 0x278);
    EXPECT_EQ(ParportBaseAddress(dir.string(), 2), -1);
    EXPECT_EQ(ParportBaseAddress(dir.string(), 3), -1) << "no such port";
}

TEST(PpdevPort, NoPortAtTheAddressSaysWhereToLook) {
    std::string report;
    // No parallel port sits at 0xFFF0 on any machine.
    EXPECT_EQ(OpenPpdevPort(0xFFF0, report), nullptr);
    EXPECT_NE(report.find("FFF0"), std::string::npos) << report;
    EXPECT_NE(report.find("/proc/sys/dev/parport"), std::string::npos) << report;
}

} // namespace
} // namespace mrk
