#pragma once
// The hardware debug window, opened modally from the main window: line toggles
// and endless test patterns. The state
// lives in DebugForm; this class shows it and forwards the clicks.
#include <QDialog>

#include "app/DebugForm.h"

class QLabel;

namespace mrk {
struct Context;
}

namespace mrk::gui {

class TProg12;

class TForm_otladka : public QDialog {
    Q_OBJECT
public:
    explicit TForm_otladka(TProg12& main);
    DebugForm& Form() { return form_; }
    void done(int r) override; // closing stops a running pattern

private:
    Context& ctx_;
    DebugForm form_;
    QLabel* label1_ = nullptr;

public:
    // Ends a running test pattern; the main window sets it before opening the parameters.
    bool& Stop = form_.stop;
};

} // namespace mrk::gui
