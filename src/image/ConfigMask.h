#pragma once
#include "image/FirmwareImages.h"

namespace mrk {

// Keeps only the configuration bits the loaders may set (the same masks for both
// chips); run after every successful image load.
void MaskConfigWrite(FirmwareImages& image);

} // namespace mrk
