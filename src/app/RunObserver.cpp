#include "app/RunObserver.h"

#include "core/Context.h"

namespace mrk {

ObservedRun::ObservedRun(Context& ctx, RunKind kind, uint32_t moduleNumber)
    : ctx_(ctx), observer_(ctx.runObserver) {
    if (observer_ && !observer_->RunStarting(ctx, kind, moduleNumber)) {
        refused_ = true;
        ended_ = true;
    }
}

ObservedRun::~ObservedRun() { End(false); }

bool ObservedRun::Step(int step, const char* what, bool ok) {
    if (observer_ && !ended_) observer_->StepDone(ctx_, step, what, ok);
    return ok;
}

void ObservedRun::End(bool ok, uint32_t moduleNumber) {
    if (ended_) return;
    ended_ = true;
    if (observer_) observer_->RunEnded(ctx_, ok, moduleNumber);
}

void ObservedRun::Stopped(uint32_t moduleNumber) {
    if (ended_) return;
    ended_ = true;
    if (observer_) observer_->RunStopped(ctx_, moduleNumber);
}

} // namespace mrk
