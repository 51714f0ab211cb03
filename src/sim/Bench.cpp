#include "sim/Bench.h"

#include "sim/FactoryBootLoader.h"

#include "core/Context.h"
#include "transport/D2XXUnit.h"
#include "transport/Kordel.h"
#include "transport/FtDeviceRef.h"
#include "transport/FtDeviceChoice.h"
#include "sim/VirtualLibftdi.h"
#include "sim/VirtualUsbBus.h"

namespace mrk::sim {


namespace {

// chosen: the module of the Surtan in use; the others' run the boot-loader
// model (no executed firmware to start for a module nobody drives).
std::unique_ptr<VirtualModule> MakeModule(const BenchOptions& opt, bool chosen) {
    if (!opt.chip) return nullptr;
    VirtualModule::Options m;
    m.chip = *opt.chip;
    m.revision = opt.revision;
    m.faults = opt.moduleFaults;
    m.firmware = chosen ? opt.moduleFirmware : ModuleFirmware::BootLoaderModel;
    auto module = std::make_unique<VirtualModule>(m);
    if (opt.factoryBootLoader) {
        std::string error;
        // The built-in image is made by the build; it always parses.
        (void)module->LoadHexText(FactoryBootLoaderHex(m.chip), error);
    }
    return module;
}

} // namespace

Bench::Bench(const BenchOptions& opt) : opt_(opt) {
    std::vector<std::string> serials = opt_.surtanSerials;
    if (serials.empty()) serials.push_back(opt_.ftdi.serial);
    size_t chosen = 0;
    for (size_t i = 0; i < serials.size(); ++i)
        if (serials[i] == opt_.chosenSurtan) chosen = i;
    for (size_t i = 0; i < serials.size(); ++i) {
        modules_.push_back(MakeModule(opt_, i == chosen));
        VirtualFtdiOptions f = opt_.ftdi;
        f.serial = serials[i];
        if (opt_.kind == BenchKind::VirtualLpt) f.fault = FtdiFault::Absent;
        surtans_.push_back(std::make_unique<VirtualFtdi>(clock_, modules_.back().get(), f));
    }
    module_ = modules_[chosen].get();
    ftdi_ = surtans_[chosen].get();
    VirtualKordel::Options k;
    k.base = opt_.lptBase;
    k.fault = opt_.kind == BenchKind::VirtualUsb ? KordelFault::Absent : opt_.kordelFault;
    k.echoDelay = opt_.kordelEchoDelay;
    k.unplugAfter = opt_.kordelUnplugAfter;
    kordel_ = std::make_unique<VirtualKordel>(clock_, module_, k);
}

Bench::~Bench() = default;

std::vector<VirtualFtdi*> Bench::Surtans() {
    std::vector<VirtualFtdi*> out;
    for (auto& s : surtans_) out.push_back(s.get());
    return out;
}

void Bench::Install(Context& ctx) {
    ctx.kordel.UsePortBackend(TracedPort(*kordel_, trace_));
    if (opt_.usbDriver == UsbDriver::Libftdi)
        ctx.surtan.UseDevice(TracedFtDevice(MakeLibftdiDevice(std::make_unique<VirtualLibftdi>(Surtans(), clock_),
                                                          [this] { return clock_.Now() / kMs; }),
                                        trace_));
    else if (surtans_.size() == 1)
        ctx.surtan.UseDevice(TracedFtDevice(std::make_unique<FtDeviceRef>(*ftdi_), trace_));
    else
        ctx.surtan.UseDevice(TracedFtDevice(std::make_unique<VirtualUsbBus>(Surtans()), trace_));
    ctx.TickMs = [this] { return clock_.Millis(); };
    ctx.TickUs = [this] { return clock_.Now() / kUs; };
}

} // namespace mrk::sim
