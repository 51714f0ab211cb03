#include "app/StartOptions.h"

#include <algorithm>

#include "app/ProgrammerTable.h"

namespace mrk {

namespace {

std::vector<std::string> Chips() { return {"4620", "452", "none"}; }

std::string LptAddressProblem(const std::string& v) {
    try {
        size_t used = 0;
        const unsigned long a = std::stoul(v, &used, 16);
        // The status and control registers sit at base+1 and base+2.
        if (used == v.size() && a > 0 && a <= 0xFFFD) return {};
    } catch (...) {
    }
    return "не шестнадцатеричный адрес порта от 1 до FFFD: " + v;
}

// An FTDI serial number: letters and digits as the chip's EEPROM holds them.
std::string SerialProblem(const std::string& v) {
    if (v.empty() || v.size() > 49) return "серийный номер программатора от 1 до 49 знаков: " + v;
    for (char c : v)
        if (c <= ' ' || c > '~') return "серийный номер программатора без пробелов, латиницей и цифрами: " + v;
    return {};
}

// The values of each listed option follow the options in the help (OptionValuesHelp).
const std::vector<StartOptionEntry> kTable = {
    {"bench", 0, OptionKind::Value, "KIND", nullptr, "Use the virtual bench instead of real hardware (Benches below)",
     kBothFrontEnds, BenchProgrammerNames, nullptr, [](StartOptions& o, const std::string& v) { o.station.bench = v; }},
    {"chip", 0, OptionKind::Value, "CHIP", "4620",
     "Module on the virtual bench (and the chip assumed before detection): 4620, 452 or none", kBothFrontEnds, Chips,
     nullptr, [](StartOptions& o, const std::string& v) { o.station.chip = v; }},
    {"module", 0, OptionKind::Value, "FILE.hex", nullptr,
     "Virtual module's memory: loaded before, saved after (Intel HEX)", kBothFrontEnds, nullptr, nullptr,
     [](StartOptions& o, const std::string& v) { o.station.module = v; }},
    {"usb-driver", 0, OptionKind::Value, "DRIVER", "libftdi", "Driver for the USB programmer (USB drivers below)",
     kBothFrontEnds, UsbDriverNames, nullptr, [](StartOptions& o, const std::string& v) { o.station.usbDriver = v; }},
    {"lpt-address", 0, OptionKind::Value, "HEX", nullptr,
     "Base I/O address of the LPT port, hexadecimal (default: the settings file's, else 378)", kBothFrontEnds, nullptr,
     LptAddressProblem,
     [](StartOptions& o, const std::string& v) {
         o.station.lptAddress = static_cast<uint16_t>(std::stoul(v, nullptr, 16));
     }},
    {"programmer", 0, OptionKind::Value, "SERIAL", nullptr,
     "The Surtan to use, by its serial number (mrkprog programmers lists them); default: the settings file's "
     "[Programmer] Serial=, else the first Surtan found",
     kBothFrontEnds, nullptr, SerialProblem, [](StartOptions& o, const std::string& v) { o.station.programmer = v; }},
    {"settings", 0, OptionKind::Value, "FILE", nullptr,
     "Settings file (default: the program's name with .ini, in the current directory)", kBothFrontEnds, nullptr,
     nullptr, [](StartOptions& o, const std::string& v) { o.station.settingsPath = v; }},
    {"fault", 0, OptionKind::Repeated, "MODE", nullptr,
     "Fault mode of the virtual bench, NAME or NAME=N, repeatable (Fault modes below)", kBothFrontEnds, nullptr,
     nullptr, [](StartOptions& o, const std::string& v) { o.station.faults.push_back(v); }},
    {"module-firmware", 0, OptionKind::Value, "KIND", "model",
     "What the virtual module runs when MCLR is released; gpsim without --bench implies --bench virtual-lpt "
     "(Module firmware below)",
     kBothFrontEnds, ModuleFirmwareNames, nullptr,
     [](StartOptions& o, const std::string& v) { o.station.moduleFirmware = v; }},
    {"production", 0, OptionKind::Flag, nullptr, nullptr,
     "Start in production mode: boot loader, erase, configuration and the automatic cycle", kWindows, nullptr, nullptr,
     [](StartOptions& o, const std::string&) { o.production = true; }},
    {"verbose", 'v', OptionKind::Flag, nullptr, nullptr,
     "Say more on standard error: port access, the service labels", kBothFrontEnds, nullptr, nullptr,
     [](StartOptions& o, const std::string&) { o.verbose = true; }},
};

} // namespace

const std::vector<StartOptionEntry>& StartOptionTable() { return kTable; }

const StartOptionEntry* FindStartOption(const std::string& name) {
    for (const auto& e : kTable)
        if (name == e.name) return &e;
    return nullptr;
}

std::string StartOptionProblem(const StartOptionEntry& entry, const std::string& value) {
    if (entry.allowed) {
        const auto values = entry.allowed();
        if (std::find(values.begin(), values.end(), value) == values.end()) {
            std::string listed;
            for (const auto& v : values) listed += (listed.empty() ? "" : ", ") + v;
            return "допустимы " + listed + "; указано " + value;
        }
    }
    return entry.check ? entry.check(value) : std::string();
}

StationStatus StartOptionsFrom(const GivenOptions& given, StartOptions& out) {
    StartOptions o;
    std::vector<std::string> seen;
    for (const auto& [name, value] : given) {
        const StartOptionEntry* e = FindStartOption(name);
        if (!e) return {2, "неизвестный параметр --" + name};
        // One value each: a second would silently overrule the first.
        if (e->kind == OptionKind::Value) {
            if (std::find(seen.begin(), seen.end(), name) != seen.end()) return {2, "--" + name + " задан дважды"};
            seen.push_back(name);
        }
        if (e->kind != OptionKind::Flag) {
            if (const std::string why = StartOptionProblem(*e, value); !why.empty())
                return {2, "--" + name + ": " + why};
        }
        e->apply(o, value);
    }
    out = std::move(o);
    return {};
}

} // namespace mrk
