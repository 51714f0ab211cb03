#pragma once
// The configuration-word editor, opened modally from the main window: fourteen rows of read and write fields with a
// "Выбор" button each, the eight bit boxes, change mode, read and write, and the
// description of the selected register. The controls are the form TFormConfig.ui;
// the state lives in ConfigForm; this class shows it and forwards the clicks.
#include <memory>

#include <QDialog>

#include "config/ConfigEditor.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;

namespace Ui {
class TFormConfig;
}

namespace mrk {
struct Context;
}

namespace mrk::gui {

class TProg12;

class TFormConfig : public QDialog {
    Q_OBJECT
public:
    explicit TFormConfig(TProg12& main);
    ~TFormConfig() override;
    ConfigForm& Form() { return form_; }

    void done(int r) override; // FormClose, however the window is closed

protected:
    void showEvent(QShowEvent* e) override; // FormShow

private:
    void Refresh();
    void Run(void (*handler)(const ConfigAccess&, ConfigForm&));

    Context& ctx_;
    std::unique_ptr<Ui::TFormConfig> ui_; // the controls of TFormConfig.ui
    ConfigForm form_;
    QLineEdit* read_[16] = {};
    QLineEdit* edit_[14] = {};
    QToolButton* selector_[14] = {};
    QButtonGroup* selectors_ = nullptr;
    QCheckBox* bit_[8] = {};
    QToolButton* izmConfig_ = nullptr;
    QToolButton* cancel_ = nullptr;
    QToolButton* write_ = nullptr;
    QLabel* staticText1_ = nullptr;
    QPlainTextEdit* memo_ = nullptr;
};

} // namespace mrk::gui
