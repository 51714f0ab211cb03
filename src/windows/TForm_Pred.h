#pragma once
// The confirmation shown once at start-up, before any hardware is touched:
// "Да" finds the programmer and the chip, "Нет" ends the program. It closes only
// through these two buttons.
#include <cstdint>

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace mrk::gui {

class TProg12;

class TForm_Pred : public QDialog {
    Q_OBJECT
public:
    explicit TForm_Pred(TProg12& main);

    QProgressBar* Gauge1;
    QLabel *Label1, *Label2, *Image1;
    QPushButton *BitBtn1, *BitBtn2;
    QTimer* Timer1;

    uint16_t GaugeLimit() const { return gaugeLimit_; }

public slots:
    void Timer1Timer();
    void BitBtn1Click(); // "Да"
    void BitBtn2Click(); // "Нет"
    void reject() override; // Escape does not close it

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void FormShow();
    void CloseByButton(int result);

    TProg12& main_;
    uint16_t gaugeLimit_ = 0; // 0 until the window is first shown
    bool shown_ = false;
    bool closingByButton_ = false;
};

} // namespace mrk::gui
