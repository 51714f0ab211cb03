#pragma once
// Whole-log operations of the main window: clear the log, hold its repainting
// while many lines go in.
namespace mrk {

struct Context;

void ClearOkno(Context& ctx);
void HoldOknoRepaint(Context& ctx, bool hold);

} // namespace mrk
