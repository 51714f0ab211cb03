#pragma once
// Building a CLI session: global options, hardware or bench, running the commands.
#include <vector>

#include "cli/CommandTable.h"

namespace mrk::cli {

// The options before the first command, from the station's table of start options.
void DeclareGlobalOptions(CLI::App& app, GlobalOptions& opt);
// What the parsed options ask for, into opt's StartOptions; a value that does not fit is refused.
[[nodiscard]] StationStatus TakeGlobalOptions(GlobalOptions& opt);
void RegisterAllCommands(CommandTable& table);
// Parses each segment's own options, sets up the programmers, runs the commands
// in order; returns the exit code of the first command that failed, else 0.
[[nodiscard]] int RunSession(const GlobalOptions& opt, std::vector<Segment>& segments);

} // namespace mrk::cli
