#include "app/ParamCommands.h"

#include <array>

#include "app/RunObserver.h"
#include "core/Context.h"
#include "core/Format.h"
#include "app/ChipRoutines.h"

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

namespace {

using IdTriple = std::array<uint32_t, 3>;

// ID words 1-3 as the last RD ID left them.
IdTriple WordsOneToThree(const Context& ctx) {
    const auto& id = ctx.prog.IdWords;
    return {id[1], id[2], id[3]};
}

std::string Shown(const IdTriple& w) { return Format("d[1]=%X d[2]=%X d[3]=%X", w[0], w[1], w[2]); }

} // namespace

bool MayWriteFactoryNumber(Context& ctx, uint16_t number) {
    if (number == 0xFFFF || !ctx.runObserver) return true;
    return ctx.runObserver->NumberWriting(ctx, number);
}

StampResult ParamUstanovitClick(Context& ctx) {
    ParamDateTimeClick(ctx);
    const uint32_t n = ctx.commands.ModuleNumber;
    const IdTriple want = {n & 0xFFFF, n >> 16, 0xFFFF};
    if (!ReadIdWords(ctx)) return StampResult::Failed;
    const IdTriple before = WordsOneToThree(ctx);
    if (before == want) return StampResult::AlreadyThere;
    if (before != IdTriple{0xFFFF, 0xFFFF, 0xFFFF}) {
        ctx.host.Okno(Format("Номер модуля уже записан (%s). Новый номер можно записать только после "
                             "очистки всей памяти.",
                             Shown(before).c_str()));
        return StampResult::Refused;
    }
    if (!MayWriteFactoryNumber(ctx, static_cast<uint16_t>(want[0]))) return StampResult::Refused;
    if (!WriteIdWords(ctx, static_cast<uint16_t>(want[0]), static_cast<uint16_t>(want[1]), 0xFFFF) ||
        !ReadIdWords(ctx))
        return StampResult::Failed;
    const IdTriple after = WordsOneToThree(ctx);
    if (after != want) {
        ctx.host.Okno(Format("Номер модуля не записан: прочитано %s.", Shown(after).c_str()));
        return StampResult::Failed;
    }
    return StampResult::Written;
}

} // namespace mrk
