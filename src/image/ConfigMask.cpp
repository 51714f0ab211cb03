#include "image/ConfigMask.h"

namespace mrk {

void MaskConfigWrite(FirmwareImages& image) {
    static constexpr uint8_t kMask[14] = {0x00, 0x27, 0x0F, 0x0F, 0x00, 0x01, 0x85,
                                          0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40};
    for (size_t k = 0; k < image.ConfigWrite.size(); ++k) image.ConfigWrite[k] &= kMask[k];
}

} // namespace mrk
