#pragma once
// The CLI's commands. Several commands may follow each other in one invocation
// and act on one context in order, as clicks on the main window would.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "app/Detection.h"
#include "app/StartOptions.h"
#include "cli/ConsoleHost.h"
#include "core/Context.h"
#include "sim/Bench.h"

namespace mrk {
class JournalObserver;
class Station;
namespace journal {
struct JournalSettings;
}
}

namespace mrk::cli {

// Options given before the first command: as the parser met them, and what
// they ask for (the station's table of start options turns one into the other).
struct GlobalOptions : StartOptions {
    GivenOptions given;
};

struct Session {
    GlobalOptions opt;
    ConsoleHost& host;
    Context& ctx;
    sim::Bench* bench = nullptr; // null on real hardware
    bool opened = false;         // OpenProgrammer recognised a chip in this session
    DetectOutcome detection{};   // the session's detection, once run
    bool configLoaded = false;   // an image load has set ConfigWrite in this session
    JournalObserver* journal = nullptr; // the production journal; null when switched off
    const journal::JournalSettings* journalSettings = nullptr; // where the journal is, as the station read it
    Station* station = nullptr;  // the station the session stands on
};

// Runs the programmer open once per session, as the main window does at start;
// false (with the reason logged) when no chip was recognised.
[[nodiscard]] bool EnsureOpened(Session& s);

// One command of an invocation, made fresh for each occurrence.
class Command {
public:
    virtual ~Command() = default;
    // Declares the command's own options and positionals.
    virtual void Setup(CLI::App& app) = 0;
    // Runs it; returns the process exit code (0 = success). A non-zero code stops the sequence.
    [[nodiscard]] virtual int Run(Session& s) = 0;
    // Why the command cannot run, from its arguments or from the commands named
    // before it in the invocation (empty when it can); asked of every command
    // before anything touches a programmer.
    virtual std::string Problem(const std::vector<std::string>& /*earlier*/) { return {}; }
    // Whether this occurrence works on the chip, once its arguments are known
    // (config describe only reads the tables); the command's table entry decides first.
    [[nodiscard]] virtual bool WorksOnChip() const { return true; }
    // Whether it writes its result to standard output ("-"): the log then goes to standard error.
    [[nodiscard]] virtual bool WritesStandardOutput() const { return false; }
};

struct CommandInfo {
    std::string name;
    std::string help;
    int requiredPositionals = 0; // words that always belong to this command
    std::function<std::unique_ptr<Command>()> make;
    // Whether it works on the chip: a run holding one finds the programmer and
    // identifies the chip before its first command.
    bool touchesChip = true;
    // It finds the programmer itself, as its button does (detect, the update, the
    // cycle), or needs neither programmer nor chip (the journal): a run of only
    // such commands is not opened beforehand.
    bool opensProgrammer = false;
};

class CommandTable {
public:
    void Add(CommandInfo info) { commands_.push_back(std::move(info)); }
    const CommandInfo* Find(const std::string& name) const;
    const std::vector<CommandInfo>& All() const { return commands_; }

private:
    std::vector<CommandInfo> commands_;
};

// Splits args (after the global options) into one word list per command.
// A word that names a command starts a new command once the current one has its
// required positionals; option values are never taken for command names.
struct Segment {
    const CommandInfo* info;
    std::vector<std::string> args; // without the command name
};
std::vector<Segment> SplitCommands(const CommandTable& table, const std::vector<std::string>& args,
                                   std::string& error);

// The commands of each layer, registered by the front end.
void RegisterIdentifyCommands(CommandTable& t);
void RegisterProgramCommands(CommandTable& t);
void RegisterImageCommands(CommandTable& t);
void RegisterProductionCommands(CommandTable& t);
void RegisterJournalCommands(CommandTable& t);
void RegisterGangCommands(CommandTable& t);

} // namespace mrk::cli
