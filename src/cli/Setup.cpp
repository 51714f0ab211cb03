#include "cli/Setup.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "app/JournalObserver.h"
#include "app/Settings.h"
#include "cli/Faults.h"
#include "core/FileBytes.h"
#include "journal/JournalSettings.h"
#include "sim/Bench.h"
#include "transport/D2XXUnit.h"
#include "transport/DirectPort.h"
#include "transport/FtDeviceChoice.h"

namespace mrk::cli {

void DeclareGlobalOptions(CLI::App& app, GlobalOptions& opt) {
    app.add_option("--bench", opt.bench, "Use the virtual bench instead of real hardware")
        ->check(CLI::IsMember({"virtual-lpt", "virtual-usb"}));
    app.add_option("--chip", opt.chip, "Module on the virtual bench (and the chip assumed before detection)")
        ->check(CLI::IsMember({"4620", "452", "none"}));
    app.add_option("--module", opt.module, "Virtual module's memory: loaded before, saved after (Intel HEX)");
    app.add_option("--usb-driver", opt.usbDriver, "Driver for the USB programmer")
        ->check(CLI::IsMember({"libftdi", "d2xx"}));
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
            return std::string("not a hexadecimal port address from 1 to FFFD: ") + v;
        });
    app.add_option("--settings", opt.settings, "Settings file (default: mrkprog.ini in the current directory)");
    std::string faultHelp = "Fault mode of the virtual bench, NAME or NAME=N (repeatable):";
    for (const auto& f : FaultModes())
        faultHelp += std::string("\n  ") + f.name + (f.value ? std::string("=") + f.value : "") + ": " + f.help;
    app.add_option("--fault", opt.faults, faultHelp)->take_all()->allow_extra_args(false);
    app.add_option("--module-firmware", opt.moduleFirmware,
                   "What the virtual module runs when MCLR is released: model (the bench's boot-loader "
                   "model, the default) or gpsim (its flash, executed by gpsim); implies --bench virtual-lpt "
                   "when --bench is not given")
        ->check(CLI::IsMember({"model", "gpsim"}));
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

std::optional<sim::ChipModel> ChipFromOption(const std::string& chip) {
    if (chip == "452") return sim::ChipModel::PIC18F452;
    if (chip == "none") return std::nullopt;
    return sim::ChipModel::PIC18F4620;
}

} // namespace

int RunSession(const GlobalOptions& given, std::vector<Segment>& segments) {
    GlobalOptions opt = given;
    if (opt.bench.empty() && !opt.moduleFirmware.empty()) opt.bench = "virtual-lpt";
    const bool executedFirmware = opt.moduleFirmware == "gpsim";
    // Each command's own options are checked before anything touches a programmer.
    std::vector<std::unique_ptr<Command>> commands;
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

    if (!opt.module.empty() && opt.bench.empty()) {
        std::fprintf(stderr, "mrkprog: --module describes a virtual module; it needs --bench\n");
        return 2;
    }
    if (!opt.faults.empty() && opt.bench.empty()) {
        std::fprintf(stderr, "mrkprog: --fault acts on the virtual bench; it needs --bench\n");
        return 2;
    }
    if (!opt.module.empty() && opt.chip == "none") {
        std::fprintf(stderr, "mrkprog: --module needs a module: --chip 4620 or 452\n");
        return 2;
    }

    // The settings file, as the main window reads it at start; --lpt-address overrides its port.
    std::error_code cwdError;
    const std::string iniPath = !opt.settings.empty()
        ? opt.settings
        : IniPathFor(std::filesystem::current_path(cwdError).string(), ProgramFileName("mrkprog"));
    const SettingsValues settings = ReadSettingsFile(iniPath);
    if (!settings.problem.empty()) std::fprintf(stderr, "mrkprog: %s\n", settings.problem.c_str());
    const uint16_t lptAddress = opt.lptAddressGiven ? opt.lptAddress : settings.AdrLpt;

    ConsoleHost console(opt.verbose);
    // The production journal keeps each cycle's and update's record, with the lines they log.
    journal::ProductionJournal journal(journal::ReadJournalSettings(iniPath));
    JournalingHost host(console, journal);
    JournalObserver observer(journal);
    std::unique_ptr<sim::Bench> bench;
    if (!opt.bench.empty()) {
        sim::BenchOptions bo;
        bo.kind = opt.bench == "virtual-usb" ? sim::BenchKind::VirtualUsb : sim::BenchKind::VirtualLpt;
        bo.chip = ChipFromOption(opt.chip);
        bo.lptBase = lptAddress;
        // Without a module file the bench starts from a module fresh from the factory.
        bo.factoryBootLoader = opt.module.empty();
        for (const auto& f : opt.faults) {
            std::string error;
            if (!ApplyFault(f, bo, error)) {
                std::fprintf(stderr, "mrkprog: --fault: %s\n", error.c_str());
                return 2;
            }
        }
        if (executedFirmware) {
            // The executed module runs what its flash holds: faults of the boot-loader
            // model would silently do nothing.
            if (bo.moduleFaults.Any()) {
                std::fprintf(stderr, "mrkprog: --fault: the boot-loader faults act on the model; "
                                     "--module-firmware gpsim runs the loader in the module's flash\n");
                return 2;
            }
            bo.moduleFirmware = sim::ModuleFirmware::Gpsim;
        }
        bench = std::make_unique<sim::Bench>(bo);
    }
    Context ctx(host);
    if (journal.Settings().enabled) ctx.runObserver = &observer;
    ctx.commands.IniPath = iniPath;
    ApplySettings(ctx, settings);
    ctx.portProg.AdrLpt = lptAddress;
    // Until a detection says otherwise, the chip is the one named on the command line.
    ctx.SetChipIndicators(opt.chip != "452" && opt.chip != "none", opt.chip == "452");
    if (opt.chip == "452") {
        ctx.prog.ChipWords = 0x4000;
        ctx.prog.BootWords = 0x180;
    }
    // The module file as it was loaded (or the blank module): a run that leaves it
    // so does not rewrite the file.
    std::string moduleBefore;
    bool moduleFileExists = false;
    if (bench) {
        bench->Install(ctx);
        if (!opt.module.empty() && bench->Module()) {
            std::error_code ec;
            moduleFileExists = std::filesystem::exists(opt.module, ec);
            if (ec) {
                std::fprintf(stderr, "mrkprog: module file %s: %s\n", opt.module.c_str(), ec.message().c_str());
                return 1;
            }
            std::string error;
            if (moduleFileExists && !bench->Module()->LoadHex(opt.module, error)) {
                std::fprintf(stderr, "mrkprog: module file %s: %s\n", opt.module.c_str(), error.c_str());
                return 1;
            }
            // A result that could not be saved would be lost: say so before anything runs.
            if (int err = 0; !CanReplaceFile(opt.module, err)) {
                std::fprintf(stderr, "mrkprog: module file %s cannot be saved: %s\n", opt.module.c_str(),
                             FileErrorText(err).c_str());
                return 1;
            }
            moduleBefore = bench->Module()->HexText();
        }
    } else {
        InstallGiveIo(ctx);
        InstallUsbDriver(ctx, opt.usbDriver);
    }

    Session s{opt, console, ctx, bench.get()};
    s.journal = ctx.runObserver ? &observer : nullptr;
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
            if (!ctx.prog.Label2Text.empty()) std::printf("%s\n", ctx.prog.Label2Text.c_str());
            rc = 1;
        }
    } else if (assumesChip) {
        std::fprintf(stderr, "mrkprog: no command works on the chip; %s\n",
                     opt.chip == "none" ? "no chip assumed (--chip none)"
                     : opt.chip == "452" ? "assuming a PIC18F452 (--chip)"
                                         : "assuming a PIC18F4620 (--chip)");
    }
    for (size_t k = 0; rc == 0 && k < commands.size(); ++k) {
        auto& cmd = commands[k];
        rc = cmd->Run(s);
        const std::string& name = segments[k].info->name;
        if (rc == 0 && (name == "load-boot" || name == "load-update" || name == "write-update"))
            s.configLoaded = true;
        console.EndProgress();
    }
    // Closing: the settings file is written in production mode only.
    WriteSettingsAtClose(ctx);
    if (!bench) RemoveGiveIo(ctx);
    if (bench && bench->Module() && !opt.module.empty()) {
        // Let erases and writes still under way finish before the memory is saved.
        bench->Module()->Settle(bench->Clock().Now() + 100 * sim::kMs);
        std::string error;
        if ((!moduleFileExists || bench->Module()->HexText() != moduleBefore) &&
            !bench->Module()->SaveHex(opt.module, error)) {
            std::fflush(stdout);
            std::fprintf(stderr, "mrkprog: module file %s: %s\n", opt.module.c_str(), error.c_str());
            if (rc == 0) rc = 1;
        }
    }
    // What the executed firmware did that the lines do not show (a watchdog reset, say).
    if (bench && bench->Module() && (rc != 0 || opt.verbose)) {
        for (const auto& e : bench->Module()->FirmwareEvents()) std::fprintf(stderr, "module: %s\n", e.c_str());
    }
    // Why the USB programmer could not be reached (permission, kernel driver, no library).
    if (const std::string why = UsbProblem(ctx); !why.empty()) std::fprintf(stderr, "USB: %s\n", why.c_str());
    return rc;
}

} // namespace mrk::cli
