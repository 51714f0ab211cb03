#pragma once
// Finding the programmer and identifying the chip, as both programs do it: the
// window's "Да" at start, `mrkprog detect` and the first command of a run that
// works on the chip. One operation, its outcome a value the front end presents.
#include <string>
#include <vector>

namespace mrk {

struct Context;

struct DetectOutcome {
    bool found = false;       // a programmer answered and a chip was recognised
    std::string chip;         // "PIC18F4620" or "PIC18F452" when found
    std::string wire;         // "USB" or "LPT" when found
    std::string serviceLabel; // what the service label says after it (why not, when not found)
    // Why no programmer could be used, one line for each ("LPT: ...", "USB: ..."); empty when found.
    std::vector<std::string> problems;
    // How the real parallel port was reached ("LPT: ..."), for whoever asks to be told more.
    std::string portReport;
};

// Runs the detection on the context's programmers. onBench: the bench's
// programmers, whose port needs no report.
[[nodiscard]] DetectOutcome DetectProgrammer(Context& ctx, bool onBench);

} // namespace mrk
