#pragma once
// The gang run's processes: one mrkprog per programmer, each with its own
// station state, their output read as it comes, one status line each, and at
// the end each one's result, exit status and time.
#include <string>
#include <vector>

namespace mrk::cli {

struct GangMember {
    std::string serial;             // the programmer's serial number
    std::vector<std::string> args;  // the program's arguments (without the program)
    // What the run found out.
    std::string number;             // the factory number the cycle ran on
    std::string result;             // "OK", "X", or empty when the cycle did not end
    std::string last;               // the last line it said
    std::string lastError;          // the last line that was not a log line of the cycle
    int exitCode = -1;              // its exit status (128+N: ended by signal N)
    double cpuSeconds = 0;          // host CPU it used (user + system)
    double wallSeconds = 0;
    double benchSeconds = -1;       // the bench's clock, on the virtual bench
};

// The environment variable that asks a member to report the bench's clock on its last line.
constexpr const char* kGangMemberVariable = "MRKPROG_GANG_MEMBER";
// That line's start.
constexpr const char* kBenchClockLine = "bench-clock-ms ";

// Runs the members at once and waits for all; progress goes to stdout (one line per
// member redrawn on a terminal, else each line prefixed with the serial number).
// Stop signals the gang receives are passed on to every member.
void RunGang(const std::string& program, std::vector<GangMember>& members);

} // namespace mrk::cli
