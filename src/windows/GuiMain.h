#pragma once
// The window program from its arguments to its end: the options, the station,
// the windows and the event loop. The shipped mrkprog-gui runs it as it is; the
// tests' and demonstrations' unattended build adds its drivers through GuiStart.
#include <functional>

#include "windows/GuiOptions.h"

namespace mrk::gui {

class GuiProgram;

struct GuiStart {
    // Options beyond the station's table, and how they are read.
    GuiOptionsExtra options;
    // Called once the station has started, before the main window is shown.
    std::function<void(GuiProgram&)> arrange;
};

// The process's exit code; version is what --version says.
int GuiMain(int argc, char** argv, const char* version, const GuiStart& extras = {});

} // namespace mrk::gui
