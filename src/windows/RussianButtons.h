#pragma once
// Message-box buttons in the program's language. A question is answered "Да" or
// "Нет"; "Нет" is the default and the Escape answer, so a reflexive Enter
// never says yes to something that cannot be taken back.
class QMessageBox;
class QPushButton;

namespace mrk::gui {

// Adds "Да" and "Нет" to the box; returns "Да".
QPushButton* RussianYesNo(QMessageBox& box);
// Gives the standard buttons already on the box their Russian captions.
void RussianCaptions(QMessageBox& box);

} // namespace mrk::gui
