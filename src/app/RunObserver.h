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
    virtual bool RunStarting(Context& ctx, RunKind kind, uint32_t moduleNumber) = 0;
    // One step of the command's table ended.
    virtual void StepDone(Context& ctx, int step, const char* what, bool ok) = 0;
    // The run ended; moduleNumber as stamped (cycle), 0 for the update.
    virtual void RunEnded(Context& ctx, bool ok, uint32_t moduleNumber) = 0;
};

} // namespace mrk
