#pragma once
// The unattended drivers of mrkprog-gui-unattended (the tests and demonstrations,
// never the shipped program). The unattended run (--auto-update FILE): answers
// "Да" in the confirmation, presses the update button once the start-up sequence
// is done, writes the log into FILE and closes the main window.
#include <QString>

namespace mrk::gui {

class GuiProgram;

void ArrangeAutoUpdate(GuiProgram& program, const QString& logPath);

// The unattended cycle (--production --auto-cycle FILE --auto-number N): types N
// into the factory-number field and presses Enter, as the operator does; while
// the cycle runs types the next number and presses Enter again (which must do
// nothing); then writes the log and the big indicator into FILE and closes.
void ArrangeAutoCycle(GuiProgram& program, const QString& number, const QString& logPath);

// Answers the confirmation "Да" once its gauge is full, and every message box
// with its default button, so that an unattended run never waits for a hand.
void AnswerUnattended(GuiProgram& program);

} // namespace mrk::gui
