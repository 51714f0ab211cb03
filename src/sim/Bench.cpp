#include "sim/Bench.h"

#include "sim/FactoryBootLoader.h"

#include "core/Context.h"
#include "transport/D2XXUnit.h"
#include "transport/Kordel.h"
#include "transport/FtDeviceRef.h"
#include "transport/FtDeviceChoice.h"
#include "sim/VirtualLibftdi.h"

namespace mrk::sim {


Bench::Bench(const BenchOptions& opt) : opt_(opt) {
    if (opt_.chip) {
        VirtualModule::Options m;
        m.chip = *opt_.chip;
        m.revision = opt_.revision;
        m.faults = opt_.moduleFaults;
        m.firmware = opt_.moduleFirmware;
        module_ = std::make_unique<VirtualModule>(m);
        if (opt_.factoryBootLoader) {
            std::string error;
            // The built-in image is made by the build; it always parses.
            (void)module_->LoadHexText(FactoryBootLoaderHex(m.chip), error);
        }
    }
    VirtualKordel::Options k;
    k.base = opt_.lptBase;
    k.fault = opt_.kind == BenchKind::VirtualUsb ? KordelFault::Absent : opt_.kordelFault;
    k.echoDelay = opt_.kordelEchoDelay;
    k.unplugAfter = opt_.kordelUnplugAfter;
    kordel_ = std::make_unique<VirtualKordel>(clock_, module_.get(), k);
    VirtualFtdiOptions f = opt_.ftdi;
    if (opt_.kind == BenchKind::VirtualLpt) f.fault = FtdiFault::Absent;
    ftdi_ = std::make_unique<VirtualFtdi>(clock_, module_.get(), f);
}

Bench::~Bench() = default;

void Bench::Install(Context& ctx) {
    ctx.kordel.UsePortBackend(TracedPort(*kordel_, trace_));
    if (opt_.usbDriver == UsbDriver::Libftdi)
        ctx.surtan.UseDevice(TracedFtDevice(MakeLibftdiDevice(std::make_unique<VirtualLibftdi>(*ftdi_, clock_),
                                                          [this] { return clock_.Now() / kMs; }),
                                        trace_));
    else
        ctx.surtan.UseDevice(TracedFtDevice(std::make_unique<FtDeviceRef>(*ftdi_), trace_));
    ctx.TickMs = [this] { return clock_.Millis(); };
    ctx.TickUs = [this] { return clock_.Now() / kUs; };
}

} // namespace mrk::sim
