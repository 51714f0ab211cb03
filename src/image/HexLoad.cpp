#include "image/HexLoad.h"

#include <cerrno>
#include <sstream>
#include <vector>

#include "core/FileBytes.h"
#include "core/Sha256.h"
#include "core/StandardStreams.h"
#include "image/ConfigMask.h"
#include "image/HexReader.h"
#include "image/IoErrors.h"

namespace mrk {

int ExecuteHex(const ImageLoad& load, ImageKind kind) {
    FirmwareImages& images = load.images;
    const std::string& path = images.PathOf(kind, load.chip.is4620);
    const bool boot = kind == ImageKind::BootLoader;
    if (boot) images.BootSha256.clear();
    // Read once, whole and only from a regular file or standard input (more than
    // any image is refused by its size): the fingerprint is of these very bytes.
    std::vector<uint8_t> bytes;
    if (int err = 0; !ReadFileOrInput(path, bytes, err)) {
        ShowReadError(load.host, path, err);
        return -1;
    }
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    if (ReadHexText(images, load.host, in, ConfigRecords::Store, path) != 0) return -1;
    MaskConfigWrite(images);
    if (boot) images.BootSha256 = Sha256Hex(bytes);
    return 0;
}

} // namespace mrk
