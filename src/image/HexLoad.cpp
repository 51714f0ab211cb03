#include "image/HexLoad.h"

#include <cerrno>
#include <sstream>
#include <vector>

#include "core/Context.h"
#include "core/FileBytes.h"
#include "core/StandardStreams.h"
#include "core/Sha256.h"
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
    if (kind == 1) ctx.image.BootSha256.clear();
    // Read once, whole and only from a regular file or standard input (more than
    // any image is refused by its size): the fingerprint is of these very bytes.
    std::vector<uint8_t> bytes;
    if (int err = 0; !ReadFileOrInput(path, bytes, err)) {
        ShowReadError(ctx, path, err);
        return -1;
    }
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    if (ReadHexText(ctx, in, ConfigRecords::Store, path) != 0) return -1;
    MaskConfigWrite(ctx.image);
    if (kind == 1) ctx.image.BootSha256 = Sha256Hex(bytes);
    return 0;
}

} // namespace mrk
