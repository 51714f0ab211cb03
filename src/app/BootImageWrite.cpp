#include "app/BootImageWrite.h"

#include <algorithm>

#include "core/Context.h"
#include "app/ChipRoutines.h"

namespace mrk {

namespace {

bool BootRegionErased(const Context& ctx) {
    const auto begin = ctx.image.BuffEt.begin();
    return std::all_of(begin, begin + 2 * ctx.prog.BootWords, [](uint8_t b) { return b == 0xFF; });
}

} // namespace

bool BootImageReady(const Context& ctx) { return ctx.image.BootImageLoaded && !BootRegionErased(ctx); }

bool WriteBootImage(Context& ctx) {
    if (!ctx.image.BootImageLoaded) {
        ctx.host.Okno("Файл BOOT загрузчика не загружен. Запись \"BOOT\" не выполнена.");
        return false;
    }
    if (BootRegionErased(ctx)) {
        ctx.host.Okno("В файле BOOT загрузчика нет данных области BOOT. Запись \"BOOT\" не выполнена.");
        return false;
    }
    return WriteBoot(ctx);
}

} // namespace mrk
