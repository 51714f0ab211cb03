#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "app/CommandGate.h"

namespace mrk {

// State the main window's commands share, and the parameters-window values they read.
struct CommandVars {
    CommandVars();

    // Update-only mode (the parameters window's Obnovl box; checked at start).
    bool Obnovl = true;

    // The button lock: held, and the enabled state of each of the 17 managed
    // controls when it was taken. Before any lock the saved states are "enabled".
    bool ButtonsLocked = false;
    // The command running now, and a stop asked of it.
    CommandGate Gate;
    std::array<bool, 17> SavedEnabled;

    // Module identity written into ID words 1 and 2: bits 0-15 factory number,
    // 16-23 low byte of ConfigChip, 24-25 quarter, 26-30 year - 2000, 31 K flag.
    uint32_t ModuleNumber = 0;
    // From the settings file; its low byte goes into ModuleNumber.
    uint16_t ConfigChip = 0;

    // Full path of the settings file, set when the front end starts.
    std::string IniPath;

    // Today's date for the date stamp; replaceable so that a run can be repeated.
    std::function<std::chrono::year_month_day()> Today;
};

} // namespace mrk
