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

const char* BootImageProblem(const Context& ctx) {
    if (!ctx.image.BootImageLoaded) return "Файл BOOT загрузчика не загружен. Запись \"BOOT\" не выполнена.";
    if (BootRegionErased(ctx)) return "В файле BOOT загрузчика нет данных области BOOT. Запись \"BOOT\" не выполнена.";
    return nullptr;
}

bool BootImageReady(const Context& ctx) { return BootImageProblem(ctx) == nullptr; }

bool WriteBootImage(Context& ctx) {
    if (const char* problem = BootImageProblem(ctx)) {
        ctx.host.Okno(problem);
        return false;
    }
    return WriteBoot(ctx);
}

} // namespace mrk
