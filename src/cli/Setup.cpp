#include "cli/Setup.h"

#include <cstdio>
#include <filesystem>

#include "app/Settings.h"
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
                if (used == v.size() && a > 0 && a <= 0xFFFF) return std::string();
            } catch (...) {
            }
            return std::string("not a hexadecimal port address: ") + v;
        });
    app.add_option("--settings", opt.settings, "Settings file (default: mrkprog.ini in the current directory)");
    app.add_flag("-v,--verbose", opt.verbose, "Say more (port access, labels)");
}

void RegisterAllCommands(CommandTable& table) {
    RegisterIdentifyCommands(table);
    RegisterProgramCommands(table);
    RegisterImageCommands(table);
    RegisterProductionCommands(table);
}

namespace {

std::optional<sim::ChipModel> ChipFromOption(const std::string& chip) {
    if (chip == "452") return sim::ChipModel::PIC18F452;
    if (chip == "none") return std::nullopt;
    return sim::ChipModel::PIC18F4620;
}

} // namespace

int RunSession(const GlobalOptions& opt, std::vector<Segment>& segments) {
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

    if (!opt.module.empty() && opt.bench.empty()) {
        std::fprintf(stderr, "mrkprog: --module describes a virtual module; it needs --bench\n");
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
    const uint16_t lptAddress = opt.lptAddressGiven ? opt.lptAddress : settings.AdrLpt;

    ConsoleHost host(opt.verbose);
    std::unique_ptr<sim::Bench> bench;
    if (!opt.bench.empty()) {
        sim::BenchOptions bo;
        bo.kind = opt.bench == "virtual-usb" ? sim::BenchKind::VirtualUsb : sim::BenchKind::VirtualLpt;
        bo.chip = ChipFromOption(opt.chip);
        bo.lptBase = lptAddress;
        // Without a module file the bench starts from a module fresh from the factory.
        bo.factoryBootLoader = opt.module.empty();
        bench = std::make_unique<sim::Bench>(bo);
    }
    Context ctx(host);
    ctx.commands.IniPath = iniPath;
    ApplySettings(ctx, settings);
    ctx.portProg.AdrLpt = lptAddress;
    // Until a detection says otherwise, the chip is the one named on the command line.
    ctx.SetChipIndicators(opt.chip != "452" && opt.chip != "none", opt.chip == "452");
    if (opt.chip == "452") {
        ctx.prog.ChipWords = 0x4000;
        ctx.prog.BootWords = 0x180;
    }
    if (bench) {
        bench->Install(ctx);
        if (!opt.module.empty() && bench->Module()) {
            std::error_code ec;
            if (std::filesystem::exists(opt.module, ec)) {
                std::string error;
                if (!bench->Module()->LoadHex(opt.module, error)) {
                    std::fprintf(stderr, "mrkprog: module file %s: %s\n", opt.module.c_str(), error.c_str());
                    return 1;
                }
            }
        }
    } else {
        InstallGiveIo(ctx);
        InstallUsbDriver(ctx, opt.usbDriver);
    }

    Session s{opt, host, ctx, bench.get()};
    int rc = 0;
    for (size_t k = 0; k < commands.size(); ++k) {
        auto& cmd = commands[k];
        rc = cmd->Run(s);
        const std::string& name = segments[k].info->name;
        if (rc == 0 && (name == "load-boot" || name == "load-update" || name == "write-update"))
            s.configLoaded = true;
        host.EndProgress();
        if (rc != 0) break;
    }
    // Closing: the settings file is written in production mode only.
    WriteSettingsAtClose(ctx);
    if (!bench) RemoveGiveIo(ctx);
    if (bench && bench->Module() && !opt.module.empty()) {
        // Let erases and writes still under way finish before the memory is saved.
        bench->Module()->Settle(bench->Clock().Now() + 100 * sim::kMs);
        std::string error;
        if (!bench->Module()->SaveHex(opt.module, error)) {
            std::fprintf(stderr, "mrkprog: module file %s: %s\n", opt.module.c_str(), error.c_str());
            if (rc == 0) rc = 1;
        }
    }
    // Why the USB programmer could not be reached (permission, kernel driver, no library).
    if (const std::string why = UsbProblem(ctx); !why.empty()) std::fprintf(stderr, "USB: %s\n", why.c_str());
    return rc;
}

} // namespace mrk::cli
