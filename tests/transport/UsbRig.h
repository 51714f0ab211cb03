#pragma once
// A context wired to a virtual FTDI device on its own simulated clock, with a
// target of the test's choosing on the programming lines.
#include <memory>

#include "core/Context.h"
#include "sim/VirtualFtdi.h"
#include "support/RecordingHost.h"
#include "transport/D2XXUnit.h"
#include "transport/FtDeviceRef.h"
#include "transport/Surtan.h"

namespace mrk::test {

struct UsbRig {
    explicit UsbRig(sim::PinTarget* target = nullptr, sim::VirtualFtdiOptions opt = {})
        : dev(clock, target, opt), ctx(host) {
        ctx.surtan.UseDevice(std::make_unique<FtDeviceRef>(dev));
        ctx.TickMs = [this] { return clock.Millis(); };
        ctx.TickUs = [this] { return clock.Now() / sim::kUs; };
    }
    // As programmer detection leaves it: open, USB selected, enable bit set.
    bool Open() {
        if (!ctx.surtan.Open()) return false;
        ctx.SetInterfaceUsb(true);
        ctx.surtan.Enable();
        return true;
    }

    sim::SimClock clock;
    sim::VirtualFtdi dev;
    RecordingHost host;
    Context ctx;
};

} // namespace mrk::test
