#pragma once
// Whole-log operations that a host may offer besides appending lines: the main
// window clears its log and holds repainting while many lines go in. A host
// without them (a terminal keeps what it printed) simply goes on appending.
namespace mrk {

struct Context;

class LogControl {
public:
    virtual ~LogControl() = default;
    virtual void ClearLog() = 0;
    virtual void HoldLogRepaint(bool hold) = 0;
};

void ClearOkno(Context& ctx);
void HoldOknoRepaint(Context& ctx, bool hold);

} // namespace mrk
