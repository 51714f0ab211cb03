#include "transport/PortListing.h"

#include <unistd.h>

#include <filesystem>

#include "core/Format.h"
#include "transport/IopermPort.h"
#include "transport/Kordel.h"
#include "transport/PpdevPort.h"

namespace mrk {

namespace {
constexpr int kMaxParports = 8;
}

std::vector<PortListing> ListParallelPorts(PpdevSystem& sys, std::string& none) {
    std::vector<PortListing> out;
    none.clear();
    std::error_code ec;
    const std::string procDir = sys.ProcDir();
    for (int n = 0; n < kMaxParports; ++n) {
        PortListing p;
        p.device = sys.DevicePath(n);
        p.base = ParportBaseAddress(procDir, n);
        if (p.base < 0 && !std::filesystem::exists(p.device, ec)) continue;
        if (p.base < 0) {
            p.why = "ядро не сообщает базовый адрес порта";
            out.push_back(std::move(p));
            continue;
        }
        std::string report;
        auto opened = OpenPpdev(static_cast<uint16_t>(p.base), report, sys);
        p.usable = opened.port != nullptr;
        p.why = p.usable ? "доступен через ppdev" : report;
        // Root may still reach a port ppdev cannot give, by port I/O (x86), unless another program holds it.
        if (!p.usable && !opened.heldElsewhere && geteuid() == 0) {
            std::string raw;
            if (OpenIopermPort(static_cast<uint16_t>(p.base), raw)) {
                p.usable = true;
                p.why += "; доступен прямым вводом-выводом (ioperm, права root)";
            }
        }
        out.push_back(std::move(p));
    }
    if (out.empty()) {
        none = std::filesystem::exists(procDir, ec)
                   ? "параллельных портов нет"
                   : "параллельных портов нет: ядро не знает ни одного (нет порта, или не загружен модуль parport_pc: "
                     "sudo modprobe parport_pc ppdev)";
    }
    return out;
}

std::vector<PortListing> ListParallelPorts(Kordel& kordel, std::string& none) {
    return ListParallelPorts(kordel.directPort.ppdev ? *kordel.directPort.ppdev : KernelPpdev(), none);
}

} // namespace mrk
