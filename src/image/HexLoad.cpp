#include "image/HexLoad.h"

#include <fstream>

#include "core/Context.h"
#include "image/ConfigMask.h"
#include "image/HexReader.h"
#include "image/IoErrors.h"

namespace mrk {

const std::string& ImagePath(const Context& ctx, uint8_t kind) {
    if (kind == 0) return ctx.image.Edit1;
    return ctx.Is4620() ? ctx.image.Edit2 : ctx.image.Edit5;
}

int ExecuteHex(Context& ctx, uint8_t kind) {
    const std::string& path = ImagePath(ctx, kind);
    std::ifstream in;
    if (!OpenForReading(ctx, path, in)) return -1;
    if (ReadHexText(ctx, in, ConfigRecords::Store, path) != 0) return -1;
    MaskConfigWrite(ctx.image);
    return 0;
}

} // namespace mrk
