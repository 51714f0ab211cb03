#include "app/ProgrammerList.h"

#include "app/Station.h"
#include "core/Format.h"
#include "transport/Kordel.h"
#include "transport/PortListing.h"
#include "transport/SurtanChoice.h"

namespace mrk {

ProgrammerListing ListProgrammers(Station& station) {
    ProgrammerListing out;
    Context& ctx = station.ctx();
    out.bench = station.bench() != nullptr;
    out.usbDriver = ctx.d2xx.device ? ctx.d2xx.device->Name() : std::string();

    std::string error;
    const auto devices = ListFtdiDevices(ctx.surtan, error);
    out.usbError = error;
    // Without a serial number chosen, the first Surtan is the one used.
    bool firstTaken = false;
    for (const auto& d : devices) {
        UsbListing u;
        u.description = d.description;
        u.serial = d.serial;
        u.problem = d.problem;
        u.surtan = d.problem.empty() && d.description == ctx.d2xx.FtDeviceDesc;
        if (u.surtan && !firstTaken) {
            u.chosen = station.ChosenProgrammer().empty() || d.serial == station.ChosenProgrammer();
            firstTaken = u.chosen;
        }
        out.usb.push_back(std::move(u));
    }

    if (sim::Bench* bench = station.bench()) {
        if (bench->Options().kind == sim::BenchKind::VirtualLpt) {
            PortListing p;
            p.device = "виртуальный программатор Kordel";
            p.base = ctx.portProg.AdrLpt;
            p.usable = true;
            p.why = "виртуальный стенд";
            out.ports.push_back(p);
        } else {
            out.portsNone = "на виртуальном стенде virtual-usb программатора Kordel нет";
        }
        return out;
    }
    // The station's claim on its port would show the port as held by another program.
    const bool held = ctx.directPort.followsAdrLpt;
    if (held) ctx.kordel.RemoveGiveIo();
    out.ports = ListParallelPorts(ctx.kordel, out.portsNone);
    if (held) ctx.kordel.InstallGiveIo();
    return out;
}

} // namespace mrk
