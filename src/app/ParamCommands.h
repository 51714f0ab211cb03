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
// A factory number (the low word of a module number, ID word 1) about to be
// written into a module: reserved in the production journal first, as a cycle
// reserves its own. False: not to be written (the operator has been told why).
// The erased word 0xFFFF carries no number.
bool MayWriteFactoryNumber(Context& ctx, uint16_t number);

// "Установить": "DateTime", then the low half, the high half and 0xFFFF into ID
// words 1-3, read back. ID locations are only ever cleared by a bulk erase, and a
// write over a stamped module would AND two numbers together: so a module whose
// words 1-3 are not erased keeps them and the stamp is refused. Failures and the
// refusal are logged; a stamp that took logs nothing. The number is reserved in
// the journal before the words are written (Refused when it cannot be).
[[nodiscard]] StampResult ParamUstanovitClick(Context& ctx);

} // namespace mrk
