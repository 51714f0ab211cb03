#include "app/Detection.h"

#include "app/ProgrammerAccess.h"
#include "core/Context.h"
#include "app/ChipRoutines.h"

namespace mrk {

DetectOutcome DetectProgrammer(Context& ctx, bool onBench) {
    DetectOutcome d;
    d.found = OpenProgrammer(ctx);
    d.serviceLabel = ctx.prog.Label2Text;
    if (d.found) {
        d.chip = ctx.Is4620() ? "PIC18F4620" : "PIC18F452";
        d.wire = ctx.IsUsb() ? "USB" : "LPT";
    } else {
        d.problems = ProgrammerAccessReport(ctx);
    }
    if (!onBench && !ctx.directPort.openReport.empty()) d.portReport = "LPT: " + ctx.directPort.openReport;
    return d;
}

} // namespace mrk
