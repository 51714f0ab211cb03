#pragma once
// Whole-log operations of the main window: clear the log, hold its repainting
// while many lines go in.
namespace mrk {

class Host;

void ClearOkno(Host& host);
void HoldOknoRepaint(Host& host, bool hold);

} // namespace mrk
