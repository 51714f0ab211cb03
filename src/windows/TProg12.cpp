#include "windows/TProg12.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>

#include "app/MainCommands.h"
#include "image/FileCommands.h"
#include "windows/DriverInstructions.h"
#include "windows/JournalWindow.h"
#include "windows/TFormConfig.h"
#include "windows/TForm_Param.h"
#include "windows/TForm_Pred.h"
#include "windows/TForm_otladka.h"

namespace mrk::gui {

TProg12::TProg12(const GuiOptions& options, QWidget* parent)
    : QWidget(parent), options_(options), host_(*this), station_(host_), ctx_(station_.ctx()) {
    setObjectName(QStringLiteral("Prog12"));
    CreateControls();

    connect(Prog, &QToolButton::clicked, this, &TProg12::ProgClick);
    connect(SpeedButton4, &QToolButton::clicked, this, &TProg12::SpeedButton4Click);
    connect(ReadChip, &QToolButton::clicked, this, &TProg12::ReadChipClick);
    connect(Sravn, &QToolButton::clicked, this, &TProg12::SravnClick);
    connect(SpeedButton21, &QToolButton::clicked, this, &TProg12::SpeedButton21Click);
    connect(SpeedButton3, &QToolButton::clicked, this, &TProg12::SpeedButton3Click);
    connect(SpeedButton7, &QToolButton::clicked, this, &TProg12::SpeedButton7Click);
    connect(SpeedButton19, &QToolButton::clicked, this, &TProg12::SpeedButton19Click);
    connect(SpeedButton10, &QToolButton::clicked, this, &TProg12::SpeedButton10Click);
    connect(SpeedButton11, &QToolButton::clicked, this, &TProg12::SpeedButton11Click);
    connect(SpeedButton16, &QToolButton::clicked, this, &TProg12::SpeedButton16Click);
    connect(SpeedButton1, &QToolButton::clicked, this, &TProg12::SpeedButton1Click);
    connect(SpeedButton18, &QToolButton::clicked, this, &TProg12::SpeedButton12Click);
    connect(SpeedButton13, &QToolButton::clicked, this, &TProg12::SpeedButton13Click);
    connect(Avtom_Prog_P, &QToolButton::clicked, this, &TProg12::Avtom_Prog_PClick);
    connect(SpeedButton5, &QToolButton::clicked, this, &TProg12::SpeedButton5Click);
    connect(SpeedButton6, &QToolButton::clicked, this, &TProg12::SpeedButton6Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TProg12::SpeedButton2Click);
    connect(SpeedButton8, &QToolButton::clicked, this, &TProg12::SpeedButton8Click);
    connect(SpeedButton20, &QToolButton::clicked, this, &TProg12::SpeedButton20Click);
    connect(SpeedButton17, &QToolButton::clicked, this, &TProg12::ConfigClick);
    connect(Param, &QPushButton::clicked, this, &TProg12::ParamClick);
    connect(Otl_oborud, &QPushButton::clicked, this, &TProg12::Otl_oborudClick);
    connect(JournalButton, &QPushButton::clicked, this, &TProg12::JournalClick);
    connect(Timer1, &QTimer::timeout, this, &TProg12::Timer1Timer);

    FormCreate();
}

TProg12::~TProg12() = default;

void TProg12::SetPeers(TFormConfig* config, TForm_otladka* otladka, TForm_Param* param, TForm_Pred* pred,
                       TRes_timer* resTimer) {
    formConfig_ = config;
    formOtladka_ = otladka;
    formParam_ = param;
    formPred_ = pred;
    resTimer_ = resTimer;
}

void TProg12::FormCreate() {
    ctx_.portProg.LptShadow = 0x08;
    std::fill_n(ctx_.image.BuffEt.begin(), 2 * ctx_.prog.ChipWords, uint8_t{0xFF});
    // The parameters window's Obnovl box: checked at creation, unless started for production.
    ctx_.commands.Obnovl = !options_.production;

    station_.Open(StationOptionsFrom(options_));
    if (!station_.SettingsProblem().empty()) Okno(QString::fromStdString(station_.SettingsProblem()));
}

void TProg12::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (shownOnce_) return;
    shownOnce_ = true;
    // The start-up sequence runs once the window is on screen.
    QTimer::singleShot(0, this, &TProg12::FormShow);
}

void TProg12::FormShow() {
    // A station that refused its start (a module file it cannot load) runs nothing and touches nothing.
    if (!station_.Opened()) {
        QMessageBox::critical(this, windowTitle(), QString::fromStdString(station_.OpenStatus().message));
        close();
        startupDone_ = true;
        emit startupFinished();
        return;
    }
    // The confirmation; its "Да" finds the programmer and the chip.
    if (formPred_) formPred_->exec();
    mrk::SpeedButton7Click(ctx_);
    ArrangeMode();
    Gauge1->setValue(0);
    ctx_.commands.ButtonsLocked = false;
    startupDone_ = true;
    emit startupFinished();
}

void TProg12::ArrangeMode() {
    if (ctx_.commands.Obnovl) {
        SpeedButton4->show();
        for (QWidget* w : std::initializer_list<QWidget*>{Prog, ReadChip, Param, GroupBox3, Panel4}) w->hide();
        return;
    }
    mrk::SpeedButton3Click(ctx_);
    for (QWidget* w : std::initializer_list<QWidget*>{Panel4, GroupBox2, Label4, Edit1}) w->show();
    Edit1->setFocus();
}

void TProg12::closeEvent(QCloseEvent* e) {
    if (!closed_) FormClose();
    closed_ = true;
    e->accept();
}

void TProg12::FormClose() {
    if (const StationStatus closed = station_.Close(); !closed.Ok())
        QMessageBox::information(this, windowTitle(), QString::fromStdString(closed.message));
}

void TProg12::Okno(const QString& text) {
    host_.Okno(text.toStdString());
}

// ---- handlers: each runs the command of its name ----

void TProg12::ProgClick() { mrk::ProgClick(ctx_, *this); }
void TProg12::SpeedButton4Click() {
    // Timer1 counts the command's seconds; its wait for the programmer reads the same clock.
    timer1Tag_ = 0;
    SetTimer1Enabled(true);
    mrk::SpeedButton4Click(ctx_, *this, Ctl::SpeedButton4);
    SetTimer1Enabled(false);
}
void TProg12::ReadChipClick() { mrk::ReadChipClick(ctx_, *this); }
void TProg12::SravnClick() { mrk::SravnClick(ctx_, *this); }
void TProg12::SpeedButton21Click() { mrk::SpeedButton21Click(ctx_, *this); }
void TProg12::SpeedButton3Click() { mrk::SpeedButton3Click(ctx_); }
void TProg12::SpeedButton7Click() { mrk::SpeedButton7Click(ctx_); }
void TProg12::SpeedButton19Click() { mrk::SpeedButton19Click(ctx_); }
void TProg12::SpeedButton10Click() { mrk::SpeedButton10Click(ctx_, *this); }
void TProg12::SpeedButton11Click() { mrk::SpeedButton11Click(ctx_, *this); }
void TProg12::SpeedButton16Click() { mrk::SpeedButton16Click(ctx_, *this); }
void TProg12::SpeedButton1Click() { mrk::SpeedButton1Click(ctx_, *this); }
void TProg12::SpeedButton12Click() { mrk::SpeedButton12Click(ctx_, *this); }
void TProg12::SpeedButton13Click() { mrk::SpeedButton13Click(ctx_, *this); }
void TProg12::Avtom_Prog_PClick() { mrk::Avtom_Prog_PClick(ctx_, *this, Ctl::Avtom_Prog_P); }
void TProg12::SpeedButton5Click() { ShowPage(ctx_, *this, 0); }
void TProg12::SpeedButton6Click() { ShowPage(ctx_, *this, 1); }
void TProg12::SpeedButton2Click() { ShowPage(ctx_, *this, 2); }
void TProg12::SpeedButton8Click() { ShowPage(ctx_, *this, 3); }
void TProg12::Edit1KeyDownEnter() { mrk::Edit1KeyDownEnter(ctx_, *this); }

void TProg12::SpeedButton20Click() {
    host_.ClearLog();
    for (const char* line : kDriverInstructionLines) host_.Okno(line);
    QTextCursor caret = Memokno->textCursor();
    caret.setPosition(0);
    Memokno->setTextCursor(caret);
    Memokno->setFocus();
    // One Home key-down, no key-up: the log shows its first line.
    QCoreApplication::postEvent(Memokno, new QKeyEvent(QEvent::KeyPress, Qt::Key_Home, Qt::NoModifier));
    host_.Pump();
}

void TProg12::ConfigClick() {
    if (formConfig_) formConfig_->exec();
}

void TProg12::ParamClick() {
    if (formOtladka_) formOtladka_->Stop = true;
    if (formParam_) formParam_->exec();
}

void TProg12::JournalClick() {
    JournalWindow w(station_.journal(), this);
    w.exec();
}

void TProg12::Otl_oborudClick() {
    if (formOtladka_) formOtladka_->exec();
}

// ---- Timer1 ----

void TProg12::Timer1Timer() {
    ++timer1Tag_;
}

void TProg12::SetTimer1Enabled(bool enabled) {
    if (station_.bench()) {
        timer1BenchMark_ = ctx_.TickMs();
        timer1OnBench_ = enabled;
        return;
    }
    if (enabled) Timer1->start();
    else Timer1->stop();
}

void TProg12::FollowBenchClock() {
    if (!timer1OnBench_) return;
    const uint32_t now = ctx_.TickMs();
    while (now - timer1BenchMark_ >= 1000) {
        timer1BenchMark_ += 1000;
        Timer1Timer();
    }
}

// ---- the factory-number field ----

bool TProg12::eventFilter(QObject* watched, QEvent* e) {
    if (watched == Edit1 && e->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(e);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            Edit1KeyDownEnter();
            return true;
        }
        // Only digits get typed; every other character, Backspace included, is dropped.
        if (key->key() == Qt::Key_Backspace) return true;
        const QString text = key->text();
        if (!text.isEmpty() && !Edit1KeyPress(text.toUcs4().value(0))) return true;
    }
    return QWidget::eventFilter(watched, e);
}

// ---- MainControls on the widgets ----

bool TProg12::Enabled(Ctl c) const {
    const QWidget* w = Control(c);
    return w && w->isEnabled();
}

void TProg12::SetEnabled(Ctl c, bool enabled) {
    if (QWidget* w = Control(c)) w->setEnabled(enabled);
    // The journal window waits, as the parameters window does, while a command runs.
    if (c == Ctl::Param) JournalButton->setEnabled(enabled);
}

void TProg12::SetDown(Ctl c) {
    if (auto* b = qobject_cast<QAbstractButton*>(Control(c)); b && b->isCheckable()) b->setChecked(true);
}

bool TProg12::Down(Ctl c) const {
    auto* b = qobject_cast<QAbstractButton*>(Control(c));
    return b && b->isChecked();
}

bool TProg12::ProtectSelected() const {
    return RadioButton2->isChecked();
}

void TProg12::SelectProtect(bool protect) {
    (protect ? RadioButton2 : RadioButton1)->setChecked(true);
}

std::string TProg12::FactoryNumberText() const {
    return Edit1->text().toStdString();
}

void TProg12::SetFactoryNumberText(const std::string& text) {
    Edit1->setText(QString::fromStdString(text));
}

void TProg12::FocusEdit1() {
    Edit1->setFocus();
}

void TProg12::FocusMainWindow() {
    setFocus();
}

void TProg12::SetBusyCursor(bool busy) {
    if (busy) setCursor(Qt::WaitCursor);
    else unsetCursor();
}

} // namespace mrk::gui
