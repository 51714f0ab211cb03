#pragma once
// The configuration-word editor: read, edit bit by bit and write the 14
// configuration bytes. Opened modally from the main window.
#include <QDialog>

namespace mrk::gui {

class TProg12;

class TFormConfig : public QDialog {
    Q_OBJECT
public:
    explicit TFormConfig(TProg12& main);

private:
    TProg12& main_;
};

} // namespace mrk::gui
