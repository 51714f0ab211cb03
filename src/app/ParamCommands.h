#pragma once
// The parameters window's identity commands without the window: "DateTime"
// stamps the date of manufacture into ModuleNumber, "Установить" stamps it and
// writes ModuleNumber into ID words 1 and 2.
#include <chrono>
#include <cstdint>

namespace mrk {

struct Context;

// ModuleNumber with bits 24-25 := quarter, 26-30 := year - 2000, bit 31 cleared.
uint32_t StampDate(uint32_t moduleNumber, std::chrono::year_month_day date);

// "DateTime": stamps ctx.commands.Today() into ctx.commands.ModuleNumber.
void ParamDateTimeClick(Context& ctx);

enum class StampResult {
    Written,        // the words were written and read back as written
    AlreadyThere,   // ID words 1-3 held exactly these words already: nothing written
    Refused,        // the module carries another identity: nothing written
    Failed,         // the programmer was lost, or the words did not read back
};
// "Установить": "DateTime", then the low half, the high half and 0xFFFF into ID
// words 1-3, read back. ID locations are only ever cleared by a bulk erase, and a
// write over a stamped module would AND two numbers together: so a module whose
// words 1-3 are not erased keeps them and the stamp is refused. Failures and the
// refusal are logged; a stamp that took logs nothing.
[[nodiscard]] StampResult ParamUstanovitClick(Context& ctx);

} // namespace mrk
