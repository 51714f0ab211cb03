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
// "Установить": "DateTime", then WriteIdWords(low half, high half, 0xFFFF).
// Nothing is reported; RD ID shows whether it took.
void ParamUstanovitClick(Context& ctx);

} // namespace mrk
