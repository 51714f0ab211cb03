// mrkprog: the programming tool without windows, for the production line and scripts.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/OptionValuesHelp.h"
#include "cli/CommandTable.h"
#include "cli/Setup.h"

namespace {

// The usage line names the commands that follow the options (they are parsed
// apart from CLI11's own, so it would not list them).
class CommandsUsage : public CLI::Formatter {
public:
    std::string make_usage(const CLI::App*, std::string name) const override {
        return "Usage: " + name + " [OPTIONS] COMMAND [ARGS] [COMMAND [ARGS] ...]\n";
    }
};

int RunProgram(int argc, char** argv) {
    using namespace mrk::cli;
    CommandTable table;
    RegisterAllCommands(table);

    // Global options end at the first command name.
    std::vector<std::string> globals, rest;
    bool inCommands = false;
    for (int i = 1; i < argc; ++i) {
        std::string w = argv[i];
        if (!inCommands && table.Find(w)) inCommands = true;
        (inCommands ? rest : globals).push_back(w);
    }

    GlobalOptions opt;
    CLI::App app{"mrkprog: firmware update and in-circuit programming of the MRK module", "mrkprog"};
    DeclareGlobalOptions(app, opt);
    app.set_version_flag("--version", "mrkprog " MRK_VERSION);
    app.formatter(std::make_shared<CommandsUsage>());
    // Wide enough that every option stands apart from its text (the man page reads it so).
    app.get_formatter()->column_width(34);
    std::string footer = mrk::OptionValuesHelp(true) + "\nCommands (several may follow each other, run in order):\n";
    for (const auto& c : table.All()) footer += "  " + c.name + std::string(c.name.size() < 14 ? 14 - c.name.size() : 1, ' ') + c.help + "\n";
    app.footer(footer);
    app.allow_extras();
    try {
        std::vector<std::string> reversed(globals.rbegin(), globals.rend());
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        const int rc = app.exit(e);
        return rc == 0 ? 0 : 2;
    }
    if (const mrk::StationStatus taken = TakeGlobalOptions(opt); !taken.Ok()) {
        std::fprintf(stderr, "mrkprog: %s\n", taken.message.c_str());
        return taken.exitCode;
    }
    if (!app.remaining().empty()) {
        std::fprintf(stderr, "mrkprog: неизвестная команда: %s (список команд: mrkprog --help)\n", app.remaining().front().c_str());
        return 2;
    }
    if (rest.empty()) {
        std::fprintf(stderr, "mrkprog: не задано ни одной команды (список команд: mrkprog --help)\n");
        return 2;
    }
    std::string error;
    auto segments = SplitCommands(table, rest, error);
    if (!error.empty()) {
        std::fprintf(stderr, "mrkprog: %s\n", error.c_str());
        return 2;
    }
    return RunSession(opt, segments);
}

} // namespace

// What went to stdout must have reached it (a full disk, a closed pipe, /dev/full):
// a list or a result a script never got is a failure.
static int WithOutputWritten(int rc) {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return rc;
    const int err = errno;
    std::fprintf(stderr, "mrkprog: вывод не записан: %s\n", std::strerror(err));
    return rc == 0 ? 1 : rc;
}

int main(int argc, char** argv) {
    // A file-size limit is met as a full disk is (a write error the journal handles),
    // never as a signal that ends the program in the middle of a module.
    std::signal(SIGXFSZ, SIG_IGN);
    // Whatever escapes the commands ends the run with a message and a failure exit, never silently.
    try {
        return WithOutputWritten(RunProgram(argc, argv));
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "mrkprog: внутренняя ошибка: %s\n", e.what());
    } catch (...) {
        std::fflush(stdout);
        std::fprintf(stderr, "mrkprog: внутренняя ошибка неизвестного рода\n");
    }
    return 70;
}
