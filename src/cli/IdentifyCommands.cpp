// detect: find the programmer and identify the chip.
#include "app/Detection.h"
#include "cli/CommandTable.h"

namespace mrk::cli {

namespace {

class DetectCommand : public Command {
public:
    void Setup(CLI::App& app) override {
        app.add_flag("-v,--verbose", verbose_, "Also say how the ports were reached (or why not)");
    }
    int Run(Session& s) override {
        // The run has found the programmer before its first command; a later
        // detect reports what was found.
        const bool ok = EnsureOpened(s);
        if (verbose_ || s.opt.verbose) {
            // How the port was reached, or for each programmer why it could not be used.
            std::fflush(stdout);
            const DetectOutcome& d = s.detection;
            for (const std::string& line : d.problems) std::fprintf(stderr, "%s\n", line.c_str());
            if (d.problems.empty() && !d.portReport.empty()) std::fprintf(stderr, "%s\n", d.portReport.c_str());
        }
        if (!s.ctx.prog.Label2Text.empty()) std::printf("%s\n", s.ctx.prog.Label2Text.c_str());
        if (ok) {
            std::printf("%s, %s\n", s.ctx.Is4620() ? "PIC18F4620" : "PIC18F452",
                        s.ctx.IsUsb() ? "USB" : "LPT");
        }
        return ok ? 0 : 1;
    }

private:
    bool verbose_ = false;
};

} // namespace

bool EnsureOpened(Session& s) {
    if (!s.opened) {
        s.detection = DetectProgrammer(s.ctx, s.bench != nullptr);
        s.opened = s.detection.found;
    }
    return s.opened;
}

void RegisterIdentifyCommands(CommandTable& t) {
    t.Add({"detect", "Find the programmer and identify the chip", 0,
           [] { return std::make_unique<DetectCommand>(); }, true, true});
}

} // namespace mrk::cli
