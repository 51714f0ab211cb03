#pragma once
// What a firmware load works on: the images it fills, the chip they are for, and
// the host that hears of it (log, status line, message boxes).
#include "image/FirmwareImages.h"

namespace mrk {

class Host;

struct ImageLoad {
    FirmwareImages& images;
    TargetChip chip;
    Host& host;
};

} // namespace mrk
