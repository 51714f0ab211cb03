// Finding the parallel port by its base address, as the kernel lists it.
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <linux/ppdev.h>

#include "core/Context.h"
#include "support/RecordingHost.h"
#include "transport/Kordel.h"
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

// The kernel side of ppdev as a test wants it: a port at 0x378 whose claim is
// granted, refused, or sleeps the way the kernel's does while another program
// holds the port (until a signal interrupts it).
class FakePpdev : public PpdevSystem {
public:
    enum class Claim { Granted, Sleeps, Refused };
    explicit FakePpdev(std::string procDir, Claim claim) : procDir_(std::move(procDir)), claim_(claim) {}
    std::string ProcDir() const override { return procDir_; }
    std::string DevicePath(int) const override { return "/dev/null"; }
    int Open(const std::string& path) override { return fd = open(path.c_str(), O_RDWR); }
    int Ioctl(int, unsigned long request, void* arg) override {
        if (request == PPCLAIM) {
            ++claims;
            if (claim_ == Claim::Granted) return 0;
            if (claim_ == Claim::Refused) {
                errno = ENXIO;
                return -1;
            }
            const int r = poll(nullptr, 0, 60'000); // only a signal ends it early
            claimInterrupted = r < 0 && errno == EINTR;
            errno = r < 0 ? errno : EAGAIN;
            return -1;
        }
        if (request == PPRSTATUS) *static_cast<unsigned char*>(arg) = 0x78;
        if (request == PPRELEASE) ++releases;
        return 0;
    }
    void Close(int f) override {
        closed = f == fd;
        close(f);
    }

    int fd = -1, claims = 0, releases = 0;
    bool claimInterrupted = false, closed = false;

private:
    std::string procDir_;
    Claim claim_;
};

TEST_F(ProcTree, APortHeldByAnotherProgramIsNoPortAccessNotAWait) {
    Port(0, "888\n");
    FakePpdev sys(dir.string(), FakePpdev::Claim::Sleeps);
    std::string report;
    const PpdevOpenResult r = OpenPpdev(0x378, report, sys, 50);
    EXPECT_EQ(r.port, nullptr);
    EXPECT_TRUE(r.heldElsewhere);
    EXPECT_TRUE(sys.claimInterrupted) << "the sleeping claim was woken, not left behind";
    EXPECT_TRUE(sys.closed);
    EXPECT_NE(report.find("занят другой программой"), std::string::npos) << report;
    EXPECT_NE(report.find("доступа к порту нет"), std::string::npos) << report;
}

TEST_F(ProcTree, AClaimGrantedOrRefusedAtOnceIsTakenAsItComes) {
    Port(0, "888\n");
    {
        FakePpdev sys(dir.string(), FakePpdev::Claim::Granted);
        std::string report;
        PpdevOpenResult r = OpenPpdev(0x378, report, sys, 50);
        ASSERT_NE(r.port, nullptr) << report;
        EXPECT_EQ(r.port->In(0x379), 0x78);
        r.port.reset();
        EXPECT_EQ(sys.releases, 1);
        EXPECT_TRUE(sys.closed);
    }
    {
        FakePpdev sys(dir.string(), FakePpdev::Claim::Refused);
        std::string report;
        const PpdevOpenResult r = OpenPpdev(0x378, report, sys, 50);
        EXPECT_EQ(r.port, nullptr);
        EXPECT_FALSE(r.heldElsewhere);
        EXPECT_NE(report.find("не удалось захватить /dev/null"), std::string::npos) << report;
    }
}

TEST_F(ProcTree, StartUpWithTheDefaultLimitGoesOnWithoutPortAccess) {
    Port(0, "888\n");
    FakePpdev sys(dir.string(), FakePpdev::Claim::Sleeps);
    test::RecordingHost host;
    Context ctx(host);
    ctx.directPort.ppdev = &sys;
    ctx.kordel.InstallGiveIo();
    EXPECT_EQ(ctx.directPort.backend, nullptr);
    EXPECT_EQ(sys.claims, 1);
    // Raw port I/O is not tried on a port another program drives.
    EXPECT_EQ(ctx.directPort.openReport,
              "ppdev: /dev/null занят другой программой (не освободился за 250 мс): доступа к порту нет");
    EXPECT_EQ(ctx.kordel.PortIn(0x379), std::nullopt) << "no port, nothing read";
    EXPECT_TRUE(host.log.empty());
    EXPECT_TRUE(host.messages.empty());
}

} // namespace
} // namespace mrk

namespace mrk {
namespace {

// A port the user may not open: the advice depends on where the user stands
// with the lp group, and never sends someone already in it to join it again.
class RefusedPpdev : public PpdevSystem {
public:
    RefusedPpdev(std::string procDir, GroupMembership lp) : procDir_(std::move(procDir)), lp_(std::move(lp)) {}
    std::string ProcDir() const override { return procDir_; }
    int Open(const std::string&) override {
        errno = EACCES;
        return -1;
    }
    GroupMembership Membership(const std::string& group) const override {
        EXPECT_EQ(group, "lp");
        return lp_;
    }

private:
    std::string procDir_;
    GroupMembership lp_;
};

TEST_F(ProcTree, APortWithoutPermissionSaysWhatToDoForWhereTheUserStands) {
    Port(0, "888\n");
    struct Case {
        GroupMembership lp;
        const char* says;
        const char* never;
    } cases[] = {
        {{false, false, "oper"}, "sudo usermod -aG lp oper), затем выйдите из системы и войдите заново", "уже в группе"},
        {{false, true, "oper"}, "пользователь oper уже в группе lp, но вошёл в систему до этого: выйдите из системы",
         "usermod"},
        {{true, true, "oper"}, "проверьте правило udev 60-mrkprog-kordel.rules", "usermod"},
    };
    for (const auto& c : cases) {
        RefusedPpdev sys(dir.string(), c.lp);
        std::string report;
        EXPECT_EQ(OpenPpdev(0x378, report, sys, 50).port, nullptr);
        EXPECT_NE(report.find(c.says), std::string::npos) << report;
        EXPECT_EQ(report.find(c.never), std::string::npos) << report;
    }
}

} // namespace
} // namespace mrk
