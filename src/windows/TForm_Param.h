#pragma once
// The parameters window, opened modally from the main window: file paths, the LPT port address, the access code and
// the service buttons. The controls are the form TForm_Param.ui; the state lives in ParamForm; this class shows it.
#include <array>
#include <memory>

#include <QDialog>

#include "app/ParamForm.h"

class QCheckBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QToolButton;

namespace Ui {
class TForm_Param;
}

namespace mrk {
struct Context;
}

namespace mrk::gui {

class TProg12;

class TForm_Param : public QDialog {
    Q_OBJECT
public:
    explicit TForm_Param(TProg12& main);
    ~TForm_Param() override;
    ParamForm& Form() { return form_; }
    // The three open dialogs, for browsing (and for tests).
    QFileDialog* OpenDialog(int n) const { return dialogs_[n - 1]; }

    void done(int r) override; // FormClose

protected:
    void showEvent(QShowEvent* e) override; // FormShow
    bool eventFilter(QObject* watched, QEvent* e) override; // Edit4 keys

private:
    void Refresh();
    void ApplyToMainWindow(const MainVisibility& v);
    std::string& PathOf(int k);

    Context& ctx_;
    QWidget* main_;
    std::unique_ptr<Ui::TForm_Param> ui_; // the controls of TForm_Param.ui
    ParamForm form_;
    std::array<QLineEdit*, 3> paths_{};    // Edit1 (update), Edit2 (boot 4620), Edit5 (boot 452)
    std::array<QToolButton*, 3> browse_{}; // SpeedButton17, SpeedButton1, SpeedButton8
    QFileDialog* dialogs_[3] = {}; // OpenDialog1..3
    QLabel* label9_ = nullptr;
    QLabel* label11_ = nullptr;
    QLineEdit* edit3_ = nullptr;
    QLineEdit* edit4_ = nullptr;
    std::array<QToolButton*, 7> service_{}; // SpeedButton2, 4, 5, 6, 7, 21, 22
    QCheckBox* obnovl_ = nullptr;
};

} // namespace mrk::gui
