#pragma once
// Watches the automatic cycle and the update command from start to end; the
// production journal is one. The commands call it at three points and go on as
// before when there is none (ctx.runObserver null).
#include <cstdint>

namespace mrk {

struct Context;

enum class RunKind { Cycle, Update };

class RunObserver {
public:
    virtual ~RunObserver() = default;
    // Before the command touches the module. moduleNumber: the cycle's ModuleNumber
    // (factory number in bits 0-15), 0 for the update. False: the run must not go
    // on; the observer has told the operator why.
    [[nodiscard]] virtual bool RunStarting(Context& ctx, RunKind kind, uint32_t moduleNumber) = 0;
    // One step of the command's table ended.
    virtual void StepDone(Context& ctx, int step, const char* what, bool ok) = 0;
    // The run ended; moduleNumber as stamped (cycle), or the identity the update
    // read from its module (0: it read none).
    virtual void RunEnded(Context& ctx, bool ok, uint32_t moduleNumber) = 0;
    // The run was stopped at a step boundary (the operator, or the window closing):
    // a failure of its own kind.
    virtual void RunStopped(Context& ctx, uint32_t moduleNumber) { RunEnded(ctx, false, moduleNumber); }
    // A factory number is about to be written into a module outside a cycle (the
    // identity stamp, ID words written by hand). False: it must not be (the
    // observer has told the operator why).
    virtual bool NumberWriting(Context&, uint16_t /*number*/) { return true; }
};

} // namespace mrk

namespace mrk {

// One observed run inside a command: tells ctx.runObserver (if any) that the run
// started, each step's outcome, and its end; a run left without End ends "X".
class ObservedRun {
public:
    ObservedRun(Context& ctx, RunKind kind, uint32_t moduleNumber);
    ~ObservedRun();
    ObservedRun(const ObservedRun&) = delete;
    ObservedRun& operator=(const ObservedRun&) = delete;

    // The observer would not let the run start (it has said why).
    [[nodiscard]] bool Refused() const { return refused_; }
    // Passes ok through, so a step reads `if (!run.Step(3, "...", WriteBoot(ctx))) ...`.
    [[nodiscard]] bool Step(int step, const char* what, bool ok);
    void End(bool ok, uint32_t moduleNumber = 0);
    // Ends the run as stopped at a step boundary.
    void Stopped(uint32_t moduleNumber = 0);

private:
    Context& ctx_;
    RunObserver* observer_;
    bool refused_ = false;
    bool ended_ = false;
};

} // namespace mrk
