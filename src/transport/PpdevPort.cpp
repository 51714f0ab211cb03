#include "transport/PpdevPort.h"

#include <grp.h>
#include <pwd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <mutex>
#include <pthread.h>
#include <sys/ioctl.h>
#include <thread>
#include <vector>
#include <unistd.h>

#include <linux/parport.h>
#include <linux/ppdev.h>

#include "core/FileBytes.h"
#include "core/Format.h"

namespace mrk {

namespace {

constexpr int kMaxParports = 8;

// The three registers through ppdev. The kernel's parport_pc driver passes
// data, status and control bytes to the hardware registers unchanged.
class PpdevPort : public PortBackend {
public:
    PpdevPort(PpdevSystem& sys, int fd, uint16_t base, std::string dev)
        : sys_(sys), fd_(fd), base_(base), dev_(std::move(dev)) {}
    ~PpdevPort() override {
        sys_.Ioctl(fd_, PPRELEASE, nullptr);
        sys_.Close(fd_);
    }
    std::optional<uint8_t> In(uint16_t port) override {
        unsigned char v = 0xFF;
        unsigned long request = 0;
        if (port == base_ + 1) request = PPRSTATUS;
        else if (port == base_) request = PPRDATA;
        else if (port == base_ + 2) request = PPRCONTROL;
        else return v; // not a register of this port: an unmapped address reads all ones
        if (sys_.Ioctl(fd_, request, &v) != 0) return std::nullopt;
        return v;
    }
    void Out(uint16_t port, uint8_t value) override {
        unsigned char v = value;
        if (port == base_) sys_.Ioctl(fd_, PPWDATA, &v);
        else if (port == base_ + 2) sys_.Ioctl(fd_, PPWCONTROL, &v);
    }
    std::string Describe() const override { return Format("LPT через %s (база %03X)", dev_.c_str(), base_); }

private:
    PpdevSystem& sys_;
    int fd_;
    uint16_t base_;
    std::string dev_;
};

// The signal that wakes a claim sleeping in the kernel: its handler does
// nothing and is installed without SA_RESTART, so the claim returns EINTR.
int WakeSignal() {
    static std::once_flag once;
    const int sig = SIGRTMIN + 3;
    std::call_once(once, [sig] {
        struct sigaction sa {};
        sa.sa_handler = [](int) {};
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = 0;
        sigaction(sig, &sa, nullptr);
    });
    return sig;
}

// PPCLAIM sleeps for as long as another program holds the port. The claim runs
// on a helper thread; past the limit it is interrupted. 0 or the claim's errno.
int ClaimWithin(PpdevSystem& sys, int fd, int limitMs) {
    const int sig = WakeSignal();
    std::promise<int> result;
    std::future<int> done = result.get_future();
    std::thread claimer([&] {
        const int r = sys.Ioctl(fd, PPCLAIM, nullptr);
        result.set_value(r == 0 ? 0 : errno);
    });
    if (done.wait_for(std::chrono::milliseconds(limitMs)) != std::future_status::ready) {
        // A signal that lands just before the thread enters the call is lost: repeat it.
        while (done.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
            pthread_kill(claimer.native_handle(), sig);
    }
    claimer.join();
    return done.get();
}

} // namespace

std::string PpdevSystem::ProcDir() const { return "/proc/sys/dev/parport"; }
std::string PpdevSystem::DevicePath(int n) const { return Format("/dev/parport%d", n); }
int PpdevSystem::Open(const std::string& path) { return open(path.c_str(), O_RDWR); }
int PpdevSystem::Ioctl(int fd, unsigned long request, void* arg) { return ioctl(fd, request, arg); }
void PpdevSystem::Close(int fd) { close(fd); }

GroupMembership PpdevSystem::Membership(const std::string& name) const {
    GroupMembership m;
    const passwd* pw = getpwuid(geteuid());
    if (pw) m.user = pw->pw_name;
    const group* g = getgrnam(name.c_str());
    if (!g) return m;
    const gid_t gid = g->gr_gid;
    m.inAccount = pw && pw->pw_gid == gid;
    for (char** member = g->gr_mem; !m.inAccount && member && *member; ++member)
        m.inAccount = pw && std::strcmp(*member, pw->pw_name) == 0;
    std::vector<gid_t> session(static_cast<size_t>(std::max(getgroups(0, nullptr), 0)));
    session.resize(static_cast<size_t>(std::max(getgroups(static_cast<int>(session.size()), session.data()), 0)));
    m.inSession = getegid() == gid || std::find(session.begin(), session.end(), gid) != session.end();
    return m;
}

std::string PortAccessAdvice(const GroupMembership& lp) {
    if (lp.inSession)
        return "у сеанса есть группа lp, но порт ей не открыт: проверьте правило udev 60-mrkprog-kordel.rules "
               "(права /dev/parport*) или обратитесь к сервисному инженеру";
    if (lp.inAccount)
        return "пользователь " + lp.user + " уже в группе lp, но вошёл в систему до этого: "
               "выйдите из системы и войдите заново";
    return "порт доступен группе lp: добавьте в неё пользователя (sudo usermod -aG lp " +
           (lp.user.empty() ? std::string("ИМЯ") : lp.user) + "), затем выйдите из системы и войдите заново";
}

PpdevSystem& KernelPpdev() {
    static PpdevSystem kernel;
    return kernel;
}

long ParportBaseAddress(const std::string& procDir, int n) {
    std::ifstream f(Format("%s/parport%d/base-addr", procDir.c_str(), n));
    long base = -1;
    if (!(f >> base)) return -1;
    return base;
}

PpdevOpenResult OpenPpdev(uint16_t base, std::string& report, PpdevSystem& sys, int claimLimitMs) {
    PpdevOpenResult out;
    const std::string procDir = sys.ProcDir();
    int found = -1;
    for (int n = 0; n < kMaxParports; ++n) {
        if (ParportBaseAddress(procDir, n) == base) {
            found = n;
            break;
        }
    }
    if (found < 0) {
        report = Format("ppdev: нет параллельного порта с базовым адресом %03X "
                        "(загружен ли модуль parport_pc? см. %s)", base, procDir.c_str());
        return out;
    }
    const std::string dev = sys.DevicePath(found);
    const int fd = sys.Open(dev);
    if (fd < 0) {
        const int e = errno;
        const std::string advice = e == EACCES || e == EPERM ? PortAccessAdvice(sys.Membership("lp"))
                                   : e == ENOENT ? "не загружен драйвер ppdev: sudo modprobe ppdev"
                                                 : "";
        report = Format("ppdev: не удалось открыть %s: %s%s", dev.c_str(), SystemErrorText(e).c_str(),
                        advice.empty() ? "" : (" (" + advice + ")").c_str());
        return out;
    }
    const int e = ClaimWithin(sys, fd, claimLimitMs);
    if (e != 0) {
        sys.Close(fd);
        if (e == EINTR) {
            out.heldElsewhere = true;
            report = Format("ppdev: %s занят другой программой (не освободился за %d мс): доступа к порту нет",
                            dev.c_str(), claimLimitMs);
        } else {
            report = Format("ppdev: не удалось захватить %s: %s", dev.c_str(), SystemErrorText(e).c_str());
        }
        return out;
    }
    // Keep the data port driving its outputs (forward direction).
    int forward = 0;
    sys.Ioctl(fd, PPDATADIR, &forward);
    report = Format("ppdev: захвачен %s (база %03X)", dev.c_str(), base);
    out.port = std::make_unique<PpdevPort>(sys, fd, base, dev);
    return out;
}

std::unique_ptr<PortBackend> OpenPpdevPort(uint16_t base, std::string& report) {
    return OpenPpdev(base, report).port;
}

} // namespace mrk
