#pragma once
// The hardware debug window: toggles the programmer's lines by hand and runs
// test patterns until told to stop. Opened modally from the main window.
#include <QDialog>

namespace mrk::gui {

class TProg12;

class TForm_otladka : public QDialog {
    Q_OBJECT
public:
    explicit TForm_otladka(TProg12& main);

    // Ends a running test pattern; the main window sets it before opening the parameters.
    bool Stop = false;

private:
    TProg12& main_;
};

} // namespace mrk::gui
