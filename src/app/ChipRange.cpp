#include "app/ChipRange.h"

#include "core/Context.h"
#include "app/ChipRoutines.h"

namespace mrk {

ChipRange::ChipRange(Context& ctx, bool whole) : ctx_(ctx), whole_(whole) { ctx_.ind.SpeedButton21 = whole; }

ChipRange::~ChipRange() { ctx_.ind.SpeedButton21 = false; }

bool ChipRange::Read() { return whole_ ? ReadAll(ctx_) : ReadBoot(ctx_); }

} // namespace mrk
