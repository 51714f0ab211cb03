#pragma once
// The options both programs take at start, in one table: the command line's
// parser and the window program's are built from it, and the values either
// collects are turned into the station's options here, so that an option means
// the same in both.
#include <string>
#include <utility>
#include <vector>

#include "app/Station.h"

namespace mrk {

// What a program asks of the station and of itself at start.
struct StartOptions {
    StationOptions station;
    bool verbose = false;    // say more: port access, the service labels, the log on stderr
    bool production = false; // the window program starts in production mode
};

// Which programs take an option.
enum FrontEnd : unsigned { kCommandLine = 1u, kWindows = 2u, kBothFrontEnds = 3u };

enum class OptionKind {
    Flag,     // no value
    Value,    // one value; given twice, refused
    Repeated, // one value per occurrence, all kept in order
};

struct StartOptionEntry {
    const char* name;       // the long name, without the dashes
    char shortName;         // 0: none
    OptionKind kind;
    const char* valueName;  // how the help names the value
    const char* defaultValue; // shown in the help and used when not given; null: none
    const char* help;
    unsigned frontEnds;     // FrontEnd bits
    // The values it takes; null when any value is read (and `check` says whether it fits).
    std::vector<std::string> (*allowed)();
    // Why a value does not fit; empty when it does. Null: every value fits.
    std::string (*check)(const std::string& value);
    // Puts the value (empty for a flag) into the options.
    void (*apply)(StartOptions& options, const std::string& value);
};

const std::vector<StartOptionEntry>& StartOptionTable();
const StartOptionEntry* FindStartOption(const std::string& name);
// Why the value does not fit the option (its allowed values, its check); empty when it does.
std::string StartOptionProblem(const StartOptionEntry& entry, const std::string& value);

// The options as a parser met them: long name and value, in order (a flag's value is empty).
using GivenOptions = std::vector<std::pair<std::string, std::string>>;

// The options the given ones ask for; a value that does not fit is refused
// with a message (exit code 2). Whether the options fit together is CheckStationOptions's to say.
[[nodiscard]] StationStatus StartOptionsFrom(const GivenOptions& given, StartOptions& out);

} // namespace mrk
