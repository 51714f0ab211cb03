#pragma once
// The virtual bench: programmer(s) and module wired together as on the real
// bench, installed behind the port-I/O and D2XX layers of a context.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/SimClock.h"
#include "sim/VirtualFtdi.h"
#include "sim/VirtualKordel.h"
#include "sim/VirtualModule.h"
#include "sim/WireTrace.h"

namespace mrk {
struct Context;
}

namespace mrk::sim {

enum class BenchKind { VirtualLpt, VirtualUsb };
// Which driver the host reaches the virtual Surtan through: the vendor's D2XX
// (which reads ahead of the host all the time), or libftdi1 under the
// program's libftdi driver (which reads only when asked).
enum class UsbDriver { D2xx, Libftdi };

struct BenchOptions {
    BenchKind kind = BenchKind::VirtualLpt;
    std::optional<ChipModel> chip = ChipModel::PIC18F4620; // nullopt: no module answering
    uint8_t revision = 0x07;
    uint16_t lptBase = 0x378;
    KordelFault kordelFault = KordelFault::None; // on VirtualUsb the Kordel is absent
    Nanos kordelEchoDelay = 2 * kUs;
    uint64_t kordelUnplugAfter = 0; // port accesses, with KordelFault::UnplugAfterAccesses
    VirtualFtdiOptions ftdi;  // the Surtan programmer; absent on VirtualLpt
    // Several Surtans on the bench's USB bus, by serial number, each wired to a
    // module of its own (the same chip, fault modes and start); empty: one, ftdi.serial.
    std::vector<std::string> surtanSerials;
    // The Surtan whose module Module() is and the Kordel shares; empty: the first.
    std::string chosenSurtan;
    UsbDriver usbDriver = UsbDriver::D2xx;
    ModuleFaults moduleFaults = {}; // the module's boot-loader faults
    // What the module runs when MCLR is released: the boot-loader model, or its flash in gpsim.
    ModuleFirmware moduleFirmware = ModuleFirmware::BootLoaderModel;
    // The module as it leaves the factory: the demo boot loader (with its
    // configuration) already in place. Otherwise the module is blank.
    bool factoryBootLoader = false;
};

class Bench {
public:
    explicit Bench(const BenchOptions& opt);
    ~Bench();

    // Puts the bench behind the context's port access and millisecond clock.
    void Install(Context& ctx);

    SimClock& Clock() { return clock_; }
    VirtualModule* Module() { return module_; }
    VirtualKordel& Kordel() { return *kordel_; }
    // The chosen Surtan.
    VirtualFtdi& Ftdi() { return *ftdi_; }
    // Every Surtan on the bus, in the order the bus lists them.
    std::vector<VirtualFtdi*> Surtans();
    const BenchOptions& Options() const { return opt_; }
    // Everything the host did on the wire since the bench was installed or the trace cleared.
    WireTrace& Trace() { return trace_; }

private:
    BenchOptions opt_;
    SimClock clock_;
    WireTrace trace_{clock_};
    std::vector<std::unique_ptr<VirtualModule>> modules_; // one per Surtan
    std::vector<std::unique_ptr<VirtualFtdi>> surtans_;
    VirtualModule* module_ = nullptr; // the chosen Surtan's
    VirtualFtdi* ftdi_ = nullptr;
    std::unique_ptr<VirtualKordel> kordel_;
};

} // namespace mrk::sim
