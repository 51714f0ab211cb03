#pragma once
#include <cstdint>

namespace mrk {

// State the main window's commands share.
struct CommandVars {
    // Update-only mode (the parameters window's Obnovl box; checked at start).
    bool Obnovl = true;
    // Update command flags for the automatic cycle: bit 0 last update failed,
    // bit 1 it ran in update-only mode.
    uint32_t SpeedButton4Tag = 0;
};

} // namespace mrk
