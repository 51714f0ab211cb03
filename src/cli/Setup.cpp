#include "cli/Setup.h"

#include <cstdio>
#include <optional>

#include "app/BenchFaults.h"
#include "app/ProgrammerTable.h"
#include "app/Station.h"

namespace mrk::cli {

namespace {

// An option's help with the rows of the station's table it takes.
template <typename Row>
std::string TableHelp(std::string head, const std::vector<Row>& rows, bool (*listed)(const Row&)) {
    for (const auto& r : rows)
        if (listed(r)) head += std::string("\n  ") + r.name + ": " + r.help;
    return head;
}

} // namespace

void DeclareGlobalOptions(CLI::App& app, GlobalOptions& opt) {
    app.add_option("--bench", opt.bench,
                   TableHelp("Use the virtual bench instead of real hardware:", ProgrammerTable(),
                             +[](const ProgrammerEntry& e) { return e.bench.has_value(); }))
        ->check(CLI::IsMember(BenchProgrammerNames()));
    app.add_option("--chip", opt.chip, "Module on the virtual bench (and the chip assumed before detection)")
        ->check(CLI::IsMember({"4620", "452", "none"}));
    app.add_option("--module", opt.module, "Virtual module's memory: loaded before, saved after (Intel HEX)");
    app.add_option("--usb-driver", opt.usbDriver,
                   TableHelp("Driver for the USB programmer:", ProgrammerTable(),
                             +[](const ProgrammerEntry& e) { return !e.bench && e.wire == ProgrammerWire::Usb; }))
        ->check(CLI::IsMember(UsbDriverNames()));
    app.add_option_function<std::string>(
           "--lpt-address",
           [&opt](const std::string& v) {
               opt.lptAddress = static_cast<uint16_t>(std::stoul(v, nullptr, 16));
               opt.lptAddressGiven = true;
           },
           "Base I/O address of the LPT port, hexadecimal (default 378)")
        ->check([](const std::string& v) {
            try {
                size_t used = 0;
                const unsigned long a = std::stoul(v, &used, 16);
                // The status and control registers sit at base+1 and base+2.
                if (used == v.size() && a > 0 && a <= 0xFFFD) return std::string();
            } catch (...) {
            }
            return std::string("не шестнадцатеричный адрес порта от 1 до FFFD: ") + v;
        });
    app.add_option("--settings", opt.settings, "Settings file (default: mrkprog.ini in the current directory)");
    std::string faultHelp = "Fault mode of the virtual bench, NAME or NAME=N (repeatable):";
    for (const auto& f : FaultModes())
        faultHelp += std::string("\n  ") + f.name + (f.value ? std::string("=") + f.value : "") + ": " + f.help;
    app.add_option("--fault", opt.faults, faultHelp)->take_all()->allow_extra_args(false);
    app.add_option("--module-firmware", opt.moduleFirmware,
                   TableHelp("What the virtual module runs when MCLR is released (gpsim without --bench "
                             "implies --bench virtual-lpt):",
                             ModuleFirmwareTable(), +[](const ModuleFirmwareEntry&) { return true; }))
        ->check(CLI::IsMember(ModuleFirmwareNames()));
    app.add_flag("-v,--verbose", opt.verbose, "Say more (port access, labels)");
}

void RegisterAllCommands(CommandTable& table) {
    RegisterIdentifyCommands(table);
    RegisterProgramCommands(table);
    RegisterImageCommands(table);
    RegisterProductionCommands(table);
    RegisterJournalCommands(table);
}

namespace {

// Each command's own options, checked before anything touches a programmer;
// an exit code when one is wrong (or only help was asked for).
std::optional<int> ParseCommands(std::vector<Segment>& segments, std::vector<std::unique_ptr<Command>>& commands) {
    for (auto& seg : segments) {
        auto cmd = seg.info->make();
        CLI::App app{seg.info->help, "mrkprog " + seg.info->name};
        cmd->Setup(app);
        try {
            std::vector<std::string> reversed(seg.args.rbegin(), seg.args.rend());
            app.parse(reversed);
        } catch (const CLI::ParseError& e) {
            if (e.get_exit_code() == 0) return app.exit(e); // --help
            std::fprintf(stderr, "mrkprog %s: %s\n", seg.info->name.c_str(), e.what());
            return 2;
        }
        commands.push_back(std::move(cmd));
    }
    for (size_t k = 0; k < commands.size(); ++k) {
        std::vector<std::string> earlier;
        for (size_t j = 0; j < k; ++j) earlier.push_back(segments[j].info->name);
        if (const std::string why = commands[k]->Problem(earlier); !why.empty()) {
            std::fprintf(stderr, "mrkprog: %s\n", why.c_str());
            return 2;
        }
    }
    return std::nullopt;
}

StationOptions StationOptionsFor(const GlobalOptions& opt) {
    StationOptions so;
    so.bench = opt.bench;
    so.usbDriver = opt.usbDriver;
    so.chip = opt.chip;
    so.module = opt.module;
    so.faults = opt.faults;
    so.moduleFirmware = opt.moduleFirmware;
    so.settingsPath = opt.settings;
    so.programName = "mrkprog";
    if (opt.lptAddressGiven) so.lptAddress = opt.lptAddress;
    // Until a detection says otherwise, the chip is the one named on the command line.
    so.assumeChip = true;
    return so;
}

// Runs the commands in order on the opened station; the exit code of the first that fails, else 0.
int RunCommands(Session& s, const std::vector<Segment>& segments, std::vector<std::unique_ptr<Command>>& commands) {
    int rc = 0;
    bool needsOpen = false, assumesChip = false;
    for (size_t k = 0; k < segments.size(); ++k) {
        const CommandInfo& info = *segments[k].info;
        const bool chip = info.touchesChip && commands[k]->WorksOnChip();
        needsOpen = needsOpen || (chip && !info.opensProgrammer);
        assumesChip = assumesChip || (!chip && !info.opensProgrammer);
    }
    if (needsOpen) {
        // As the main window does at start: the chip is known before the first
        // command, so that loads use its sizes and its image.
        if (!EnsureOpened(s)) {
            if (!s.ctx.prog.Label2Text.empty()) std::printf("%s\n", s.ctx.prog.Label2Text.c_str());
            rc = 1;
        }
    } else if (assumesChip) {
        std::fprintf(stderr, "mrkprog: ни одна команда не работает с кристаллом; %s\n",
                     s.opt.chip == "none" ? "кристалл не выбран (--chip none)"
                     : s.opt.chip == "452" ? "образы берутся для PIC18F452 (--chip)"
                                           : "образы берутся для PIC18F4620 (--chip)");
    }
    for (size_t k = 0; rc == 0 && k < commands.size(); ++k) {
        rc = commands[k]->Run(s);
        const std::string& name = segments[k].info->name;
        if (rc == 0 && (name == "load-boot" || name == "load-update" || name == "write-update"))
            s.configLoaded = true;
        s.host.EndProgress();
    }
    return rc;
}

} // namespace

int RunSession(const GlobalOptions& opt, std::vector<Segment>& segments) {
    std::vector<std::unique_ptr<Command>> commands;
    if (const auto rc = ParseCommands(segments, commands)) return *rc;

    ConsoleHost console(opt.verbose);
    Station station(console);
    if (const StationStatus open = station.Open(StationOptionsFor(opt)); !open.Ok()) {
        std::fprintf(stderr, "mrkprog: %s\n", open.message.c_str());
        return open.exitCode;
    }
    if (!station.SettingsProblem().empty()) std::fprintf(stderr, "mrkprog: %s\n", station.SettingsProblem().c_str());
    Session s{opt, console, station.ctx(), station.bench()};
    s.journal = station.runObserver();
    int rc = RunCommands(s, segments, commands);
    if (const StationStatus closed = station.Close(); !closed.message.empty()) {
        std::fflush(stdout);
        std::fprintf(stderr, "mrkprog: %s\n", closed.message.c_str());
        if (rc == 0) rc = closed.exitCode;
    }
    // What the executed firmware did that the lines do not show (a watchdog reset, say).
    if (sim::Bench* bench = station.bench(); bench && bench->Module() && (rc != 0 || opt.verbose)) {
        for (const auto& e : bench->Module()->FirmwareEvents()) std::fprintf(stderr, "модуль: %s\n", e.c_str());
    }
    // Why the USB programmer could not be reached (permission, kernel driver, no library).
    if (const std::string why = station.UsbProblem(); !why.empty()) std::fprintf(stderr, "USB: %s\n", why.c_str());
    return rc;
}

} // namespace mrk::cli
