#include "app/ProgrammerTable.h"

#include "core/Context.h"
#include "transport/Kordel.h"
#include "transport/FtDeviceChoice.h"

namespace mrk {

const std::vector<ProgrammerEntry>& ProgrammerTable() {
    static const std::vector<ProgrammerEntry> table = {
        {"lpt", ProgrammerWire::Lpt, "Kordel on the parallel port (ppdev, or port I/O when run as root)",
         [](Context& ctx) { ctx.kordel.InstallGiveIo(); }, std::nullopt},
        {"libftdi", ProgrammerWire::Usb, "Surtan through libftdi1; the vendor's D2XX library when libftdi1 finds none",
         [](Context& ctx) { InstallUsbDriver(ctx.surtan, "libftdi"); }, std::nullopt},
        {"d2xx", ProgrammerWire::Usb, "Surtan through the vendor's D2XX library only",
         [](Context& ctx) { InstallUsbDriver(ctx.surtan, "d2xx"); }, std::nullopt},
        {"virtual-lpt", ProgrammerWire::Lpt, "the virtual bench: a simulated Kordel and module, no Surtan",
         nullptr, sim::BenchKind::VirtualLpt},
        {"virtual-usb", ProgrammerWire::Usb, "the virtual bench: a simulated Surtan and module, no Kordel",
         nullptr, sim::BenchKind::VirtualUsb},
    };
    return table;
}

const ProgrammerEntry* FindProgrammer(const std::string& name) {
    for (const auto& e : ProgrammerTable())
        if (name == e.name) return &e;
    return nullptr;
}

std::vector<std::string> BenchProgrammerNames() {
    std::vector<std::string> names;
    for (const auto& e : ProgrammerTable())
        if (e.bench) names.emplace_back(e.name);
    return names;
}

std::vector<std::string> UsbDriverNames() {
    std::vector<std::string> names;
    for (const auto& e : ProgrammerTable())
        if (!e.bench && e.wire == ProgrammerWire::Usb) names.emplace_back(e.name);
    return names;
}

const std::vector<ModuleFirmwareEntry>& ModuleFirmwareTable() {
    static const std::vector<ModuleFirmwareEntry> table = {
        {"model", "the bench's own model of the boot loader", [](sim::BenchOptions&) {}},
        {"gpsim", "what the module's flash holds, executed instruction by instruction",
         [](sim::BenchOptions& bo) { bo.moduleFirmware = sim::ModuleFirmware::Gpsim; }},
    };
    return table;
}

const ModuleFirmwareEntry* FindModuleFirmware(const std::string& name) {
    for (const auto& e : ModuleFirmwareTable())
        if (name == e.name) return &e;
    return nullptr;
}

std::vector<std::string> ModuleFirmwareNames() {
    std::vector<std::string> names;
    for (const auto& e : ModuleFirmwareTable()) names.emplace_back(e.name);
    return names;
}

} // namespace mrk
