#pragma once
#include <string>

#include "icsp/Chip.h"

namespace mrk {

// The chip as the station keeps it, with what the station shows about it.
struct ProgVars : Chip {
    bool ProgOpenReported = false; // the programmer found was announced once
    std::string Label2Text;        // last text of the hidden service label
    // Result text of the last configuration write (the configuration window's StaticText1).
    std::string ConfigStaticText1;
};

} // namespace mrk
