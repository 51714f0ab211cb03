#include "app/OptionValuesHelp.h"

#include "app/BenchFaults.h"
#include "app/ProgrammerTable.h"

namespace mrk {

namespace {

// Two spaces at least between the value and its meaning, every value on one line.
void Value(std::string& text, const std::string& name, const char* help) {
    text += "  " + name + std::string(name.size() < 28 ? 28 - name.size() : 2, ' ') + help + "\n";
}

} // namespace

std::string OptionValuesHelp(bool usbDriver) {
    std::string text = "\nBenches (--bench):\n";
    for (const auto& e : ProgrammerTable())
        if (e.bench) Value(text, e.name, e.help);
    if (usbDriver) {
        text += "\nUSB drivers (--usb-driver):\n";
        for (const auto& e : ProgrammerTable())
            if (!e.bench && e.wire == ProgrammerWire::Usb) Value(text, e.name, e.help);
    }
    text += "\nModule firmware (--module-firmware):\n";
    for (const auto& e : ModuleFirmwareTable()) Value(text, e.name, e.help);
    text += "\nFault modes (--fault NAME or NAME=N, repeatable):\n";
    for (const auto& f : FaultModes()) Value(text, std::string(f.name) + (f.value ? std::string("=") + f.value : ""), f.help);
    return text;
}

} // namespace mrk
