#pragma once
// The firmware images' former name, kept while the protocol layer moves over to it.
#include "image/FirmwareImages.h"

namespace mrk {
using ImageVars = FirmwareImages;
} // namespace mrk
