#pragma once
// The unattended run (--auto-update FILE) for tests and demonstrations: answers
// "Да" in the confirmation, presses the update button once the start-up sequence
// is done, writes the log into FILE and closes the main window.
#include <QString>

namespace mrk::gui {

class GuiProgram;

void ArrangeAutoUpdate(GuiProgram& program, const QString& logPath);

} // namespace mrk::gui
