#include "transport/IopermPort.h"

#include <cerrno>
#include <cstring>

#include "core/FileBytes.h"
#include "core/Format.h"

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define MRK_HAVE_IOPERM 1
#endif

namespace mrk {

#ifdef MRK_HAVE_IOPERM
namespace {
class IopermPort : public PortBackend {
public:
    explicit IopermPort(uint16_t base) : base_(base) {}
    ~IopermPort() override { ioperm(base_, 3, 0); }
    std::optional<uint8_t> In(uint16_t port) override {
        if (port < base_ || port > base_ + 2) return 0xFF;
        return inb(port);
    }
    void Out(uint16_t port, uint8_t value) override {
        if (port < base_ || port > base_ + 2) return;
        outb(value, port);
    }
    std::string Describe() const override { return Format("LPT прямым доступом к портам %03X", base_); }

private:
    uint16_t base_;
};
} // namespace

std::unique_ptr<PortBackend> OpenIopermPort(uint16_t base, std::string& report) {
    if (ioperm(base, 3, 1) != 0) {
        const int e = errno;
        report = Format("ioperm: нет доступа к портам %03X..%03X: %s%s", base, base + 2, SystemErrorText(e).c_str(),
                        e == EPERM ? " (нужны права root или CAP_SYS_RAWIO)" : "");
        return nullptr;
    }
    report = Format("ioperm: прямой доступ к портам %03X", base);
    return std::make_unique<IopermPort>(base);
}
#else
std::unique_ptr<PortBackend> OpenIopermPort(uint16_t, std::string& report) {
    report = "ioperm: прямого доступа к портам на этом процессоре нет";
    return nullptr;
}
#endif

} // namespace mrk
