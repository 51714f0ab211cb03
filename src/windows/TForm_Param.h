#pragma once
// The parameters window: firmware paths, LPT address, service access code,
// module identity. Opened modally from the main window (production mode).
#include <QDialog>

namespace mrk::gui {

class TProg12;

class TForm_Param : public QDialog {
    Q_OBJECT
public:
    explicit TForm_Param(TProg12& main);

private:
    TProg12& main_;
};

} // namespace mrk::gui
