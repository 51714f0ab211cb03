#include "app/ParamCommands.h"

#include "core/Context.h"
#include "icsp/ConfigId.h"

namespace mrk {

uint32_t StampDate(uint32_t moduleNumber, std::chrono::year_month_day date) {
    const unsigned month = static_cast<unsigned>(date.month());
    const uint32_t quarter = month >= 1 && month <= 12 ? (month - 1) / 3 : 0;
    const uint32_t year = static_cast<uint32_t>(static_cast<int>(date.year()) - 2000) & 0x1F;
    return (moduleNumber & 0x00FFFFFF) | year << 26 | quarter << 24;
}

void ParamDateTimeClick(Context& ctx) {
    ctx.commands.ModuleNumber = StampDate(ctx.commands.ModuleNumber, ctx.commands.Today());
}

void ParamUstanovitClick(Context& ctx) {
    ParamDateTimeClick(ctx);
    const uint32_t n = ctx.commands.ModuleNumber;
    WriteIdWords(ctx, static_cast<uint16_t>(n & 0xFFFF), static_cast<uint16_t>(n >> 16), 0xFFFF);
}

} // namespace mrk
