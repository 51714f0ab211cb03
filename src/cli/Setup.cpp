#include "cli/Setup.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "app/CommandGate.h"
#include "app/ProgrammerTable.h"
#include "app/Station.h"
#include "cli/GangRun.h"
#include "cli/StopSignals.h"

namespace mrk::cli {

void DeclareGlobalOptions(CLI::App& app, GlobalOptions& opt) {
    // Built from the station's table, as the window program's are; the values
    // of each listed option follow the options (OptionValuesHelp).
    for (const StartOptionEntry& e : StartOptionTable()) {
        if (!(e.frontEnds & kCommandLine)) continue;
        const std::string name = e.name;
        const std::string names = (e.shortName ? std::string("-") + e.shortName + "," : std::string()) + "--" + name;
        if (e.kind == OptionKind::Flag) {
            app.add_flag_callback(names, [&opt, name] { opt.given.emplace_back(name, std::string()); }, e.help);
            continue;
        }
        CLI::Option* o =
            e.kind == OptionKind::Repeated
                ? app.add_option_function<std::vector<std::string>>(
                         names,
                         [&opt, name](const std::vector<std::string>& values) {
                             for (const auto& v : values) opt.given.emplace_back(name, v);
                         },
                         e.help)
                      ->take_all()
                      ->allow_extra_args(false)
                : app.add_option_function<std::string>(
                      names, [&opt, name](const std::string& v) { opt.given.emplace_back(name, v); }, e.help);
        o->type_name(e.valueName);
        if (e.allowed) o->check(CLI::IsMember(e.allowed()));
        if (e.check) o->check([&e](const std::string& v) { return e.check(v); });
    }
}

StationStatus TakeGlobalOptions(GlobalOptions& opt) {
    StartOptions& start = opt;
    return StartOptionsFrom(opt.given, start);
}

void RegisterAllCommands(CommandTable& table) {
    RegisterIdentifyCommands(table);
    RegisterProgramCommands(table);
    RegisterImageCommands(table);
    RegisterProductionCommands(table);
    RegisterJournalCommands(table);
    RegisterGangCommands(table);
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
    StationOptions so = opt.station;
    so.programName = "mrkprog";
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
                     s.opt.station.chip == "none" ? "кристалл не выбран (--chip none)"
                     : s.opt.station.chip == "452" ? "образы берутся для PIC18F452 (--chip)"
                                           : "образы берутся для PIC18F4620 (--chip)");
    }
    for (size_t k = 0; rc == 0 && k < commands.size() && !StopSignal(); ++k) {
        // Through the gate, as a click runs it: a stop signal is taken at its next step boundary.
        // Refused only while another command runs, which a command line never has.
        (void)s.ctx.commands.Gate.Run([&] {
            s.host.Pump();
            rc = commands[k]->Run(s);
        });
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

    // A result written to standard output keeps it to itself: the log goes to standard error.
    bool resultOnStdout = false;
    for (const auto& c : commands) resultOnStdout = resultOnStdout || c->WritesStandardOutput();
    ConsoleHost console(opt.verbose, resultOnStdout ? stderr : stdout);
    Station station(console);
    StationOptions so = StationOptionsFor(opt);
    // A gang's programmers each run in a process of their own with their own module
    // file; the gang's own process keeps none (it would save its blank one over theirs).
    for (const auto& seg : segments)
        if (seg.info->name == "gang") so.module.clear();
    if (const StationStatus open = station.Open(so); !open.Ok()) {
        std::fprintf(stderr, "mrkprog: %s\n", open.message.c_str());
        return open.exitCode;
    }
    if (!station.SettingsProblem().empty()) std::fprintf(stderr, "mrkprog: %s\n", station.SettingsProblem().c_str());
    Session s{opt, console, station.ctx(), station.bench()};
    s.journal = station.runObserver();
    s.journalSettings = &station.journal().Settings();
    s.station = &station;
    // A Surtan chosen by its serial number that is not attached: nothing that needs it is started.
    bool needsProgrammer = false;
    for (size_t k = 0; k < segments.size(); ++k)
        needsProgrammer = needsProgrammer || (segments[k].info->touchesChip && commands[k]->WorksOnChip());
    if (needsProgrammer && !station.ChosenProgrammer().empty()) {
        if (const std::string why = station.ChosenProgrammerProblem(); !why.empty()) {
            std::fprintf(stderr, "mrkprog: %s\n", why.c_str());
            (void)station.Close(false);
            return 1;
        }
    }
    CatchStopSignals();
    console.onPump = [&ctx = station.ctx()] {
        if (StopSignal()) ctx.commands.Gate.RequestStop(StopCause::Signal);
    };
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
    // A member of a gang run says how long its run took on the bench's clock.
    if (sim::Bench* bench = station.bench(); bench && std::getenv(kGangMemberVariable)) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s%llu\n", kBenchClockLine, static_cast<unsigned long long>(bench->Clock().Now() / sim::kMs));
    }
    // Why the USB programmer could not be reached (permission, kernel driver, no library).
    if (const std::string why = station.UsbProblem(); !why.empty()) std::fprintf(stderr, "USB: %s\n", why.c_str());
    if (const int signal = StopSignal()) {
        // Stopped and closed like a stop in the window; the exit status says which signal, as the shell expects.
        std::fflush(stdout);
        std::fprintf(stderr, "mrkprog: остановлено по %s\n", StopSignalName(signal));
        return 128 + signal;
    }
    return rc;
}

} // namespace mrk::cli
