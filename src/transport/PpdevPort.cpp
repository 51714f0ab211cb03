#include "transport/PpdevPort.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/ioctl.h>
#include <unistd.h>

#include <linux/parport.h>
#include <linux/ppdev.h>

#include "core/Format.h"

namespace mrk {

namespace {

constexpr int kMaxParports = 8;

// The three registers through ppdev. The kernel's parport_pc driver passes
// data, status and control bytes to the hardware registers unchanged.
class PpdevPort : public PortBackend {
public:
    PpdevPort(int fd, uint16_t base, std::string dev) : fd_(fd), base_(base), dev_(std::move(dev)) {}
    ~PpdevPort() override {
        ioctl(fd_, PPRELEASE);
        close(fd_);
    }
    uint8_t In(uint16_t port) override {
        unsigned char v = 0xFF;
        if (port == base_ + 1) {
            if (ioctl(fd_, PPRSTATUS, &v) != 0) v = 0xFF;
        } else if (port == base_) {
            if (ioctl(fd_, PPRDATA, &v) != 0) v = 0xFF;
        } else if (port == base_ + 2) {
            if (ioctl(fd_, PPRCONTROL, &v) != 0) v = 0xFF;
        }
        return v;
    }
    void Out(uint16_t port, uint8_t value) override {
        unsigned char v = value;
        if (port == base_) ioctl(fd_, PPWDATA, &v);
        else if (port == base_ + 2) ioctl(fd_, PPWCONTROL, &v);
    }
    std::string Describe() const override { return Format("LPT through %s (base %03X)", dev_.c_str(), base_); }

private:
    int fd_;
    uint16_t base_;
    std::string dev_;
};

} // namespace

long ParportBaseAddress(const std::string& procDir, int n) {
    std::ifstream f(Format("%s/parport%d/base-addr", procDir.c_str(), n));
    long base = -1;
    if (!(f >> base)) return -1;
    return base;
}

std::unique_ptr<PortBackend> OpenPpdevPort(uint16_t base, std::string& report) {
    int found = -1;
    for (int n = 0; n < kMaxParports; ++n) {
        if (ParportBaseAddress("/proc/sys/dev/parport", n) == base) {
            found = n;
            break;
        }
    }
    if (found < 0) {
        report = Format("ppdev: no parallel port with base address %03X "
                        "(is the parport_pc module loaded? see /proc/sys/dev/parport)", base);
        return nullptr;
    }
    const std::string dev = Format("/dev/parport%d", found);
    const int fd = open(dev.c_str(), O_RDWR);
    if (fd < 0) {
        const int e = errno;
        report = Format("ppdev: cannot open %s: %s%s", dev.c_str(), std::strerror(e),
                        e == EACCES ? " (add the user to the lp group)"
                                    : (e == ENOENT ? " (load the ppdev module: modprobe ppdev)" : ""));
        return nullptr;
    }
    if (ioctl(fd, PPCLAIM) != 0) {
        const int e = errno;
        close(fd);
        report = Format("ppdev: cannot claim %s: %s (another program, e.g. the lp printer driver, holds it)",
                        dev.c_str(), std::strerror(e));
        return nullptr;
    }
    // Keep the data port driving its outputs (forward direction).
    int forward = 0;
    ioctl(fd, PPDATADIR, &forward);
    report = Format("ppdev: claimed %s (base %03X)", dev.c_str(), base);
    return std::make_unique<PpdevPort>(fd, base, dev);
}

} // namespace mrk
