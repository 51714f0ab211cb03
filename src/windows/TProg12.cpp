#include "windows/TProg12.h"
#include "windows/LineNumberPanel.h"

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

#include "app/CommandGate.h"
#include "app/ImageAccess.h"
#include "app/MainCommands.h"
#include "image/FileCommands.h"
#include "windows/DriverInstructions.h"
#include "windows/JournalWindow.h"
#include "windows/KeyFilter.h"
#include "windows/RussianButtons.h"
#include "windows/TFormConfig.h"
#include "windows/TForm_Param.h"
#include "windows/TForm_Pred.h"
#include "windows/TForm_otladka.h"
#include "ui_TProg12.h"

namespace mrk::gui {

TProg12::TProg12(const GuiOptions& options, QWidget* parent)
    : QWidget(parent), options_(options), host_(*this), station_(host_), ctx_(station_.ctx()) {
    setObjectName(QStringLiteral("Prog12"));
    host_.verbose = options_.verbose;
    CreateControls();

    // Every command passes the one gate: none starts while another runs.
    OnCommand(Prog, &TProg12::ProgClick);
    OnCommand(SpeedButton4, &TProg12::SpeedButton4Click);
    OnCommand(ReadChip, &TProg12::ReadChipClick);
    OnCommand(Sravn, &TProg12::SravnClick);
    OnCommand(SpeedButton21, &TProg12::SpeedButton21Click);
    OnCommand(SpeedButton3, &TProg12::SpeedButton3Click);
    OnCommand(SpeedButton7, &TProg12::SpeedButton7Click);
    OnCommand(SpeedButton19, &TProg12::SpeedButton19Click);
    OnCommand(SpeedButton10, &TProg12::SpeedButton10Click);
    OnCommand(SpeedButton11, &TProg12::SpeedButton11Click);
    OnCommand(SpeedButton16, &TProg12::SpeedButton16Click);
    OnCommand(SpeedButton1, &TProg12::SpeedButton1Click);
    OnCommand(SpeedButton18, &TProg12::SpeedButton12Click);
    OnCommand(SpeedButton13, &TProg12::SpeedButton13Click);
    OnCommand(Avtom_Prog_P, &TProg12::Avtom_Prog_PClick);
    OnCommand(SpeedButton5, &TProg12::SpeedButton5Click);
    OnCommand(SpeedButton6, &TProg12::SpeedButton6Click);
    OnCommand(SpeedButton2, &TProg12::SpeedButton2Click);
    OnCommand(SpeedButton8, &TProg12::SpeedButton8Click);
    OnCommand(SpeedButton20, &TProg12::SpeedButton20Click);
    OnCommand(SpeedButton17, &TProg12::ConfigClick);
    OnCommand(Param, &TProg12::ParamClick);
    OnCommand(Otl_oborud, &TProg12::Otl_oborudClick);
    OnCommand(JournalButton, &TProg12::JournalClick);
    connect(Avt_Prog_St, &QToolButton::clicked, this, &TProg12::Avt_Prog_StClick);
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

    // How the start went stays in the station (OpenStatus); FormShow acts on it.
    (void)station_.Open(StationOptionsFrom(options_));
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
    // The status line says whether the update loaded; the update refuses to run without it.
    (void)mrk::LoadEmbeddedUpdate(ImageLoadOf(ctx_));
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
    // As the update's load: the status line says it, the boot write refuses without it.
    (void)mrk::LoadBootLoaderFile(ImageLoadOf(ctx_));
    for (QWidget* w : std::initializer_list<QWidget*>{Panel4, GroupBox2, Label4, Edit1}) w->show();
    RefillLineNumber();
    Edit1->setFocus();
}

void TProg12::RefillLineNumber() {
    if (!ctx_.commands.Gate.Running()) lineNumbers_->Refill(!ctx_.commands.Obnovl);
}

void TProg12::closeEvent(QCloseEvent* e) {
    if (ctx_.commands.Gate.Running()) {
        // The module is being driven: the window stays until the command stops
        // at its next step boundary, and the settings are written after that.
        e->ignore();
        AskCloseDuringCommand();
        return;
    }
    if (!closed_) FormClose();
    closed_ = true;
    e->accept();
}

void TProg12::AskCloseDuringCommand() {
    if (closeAsked_ || closeAfterCommand_) return;
    closeAsked_ = true;
    // Asked without a nested event loop: the command goes on while the question is up.
    auto* box = new QMessageBox(QMessageBox::Question, windowTitle(),
                                QStringLiteral("Идёт работа с модулем.\nОстановить её после текущего шага и закрыть "
                                               "программу?"),
                                QMessageBox::NoButton, this);
    QPushButton* yes = RussianYesNo(*box);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    connect(box, &QMessageBox::finished, this, [this, box, yes] {
        closeAsked_ = false;
        if (box->clickedButton() != yes) return;
        if (!ctx_.commands.Gate.Running()) {
            close();
            return;
        }
        closeAfterCommand_ = true;
        ctx_.commands.Gate.RequestStop(StopCause::Closing);
        host_.Okno("Программа закроется после текущего шага.");
    });
    box->open();
}

void TProg12::RunCommand(const std::function<void()>& command) {
    if (ctx_.commands.Gate.Running()) {
        // A click or a number entered while a command drives the module starts
        // nothing; the status line says why instead of nothing happening.
        if (!busyNoteShown_) label3Before_ = Label3->text();
        busyNoteShown_ = true;
        Label3->setText(QString::fromUtf8(kBusyNote));
        return;
    }
    // Refused only while another command runs, which is said above.
    (void)ctx_.commands.Gate.Run(command);
    if (busyNoteShown_) {
        busyNoteShown_ = false;
        if (Label3->text() == QString::fromUtf8(kBusyNote)) Label3->setText(label3Before_);
    }
    if (closeAfterCommand_ && !ctx_.commands.Gate.Running()) {
        closeAfterCommand_ = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void TProg12::Avt_Prog_StClick() {
    if (!ctx_.commands.Gate.Running() || ctx_.commands.Gate.Stop() != StopCause::None) return;
    ctx_.commands.Gate.RequestStop(StopCause::Operator);
    host_.Okno("СТОП: остановка после текущего шага.");
}

void TProg12::FormClose() {
    // The settings in production mode only, and only once the program got going:
    // "Нет" at the start leaves them as they were.
    closeStatus_ = station_.Close(startupDone_);
    if (closeStatus_.message.empty()) return;
    Okno(QString::fromStdString(closeStatus_.message));
    if (!closeStatus_.Ok()) QMessageBox::information(this, windowTitle(), QString::fromStdString(closeStatus_.message));
}

void TProg12::Okno(const QString& text) {
    host_.Okno(text.toStdString());
}

// ---- handlers: each runs the command of its name ----

// The commands on the chip: the log, the service line, the pages and the
// indicator show how each went.
void TProg12::ProgClick() { (void)mrk::ProgClick(ctx_, *this); }
void TProg12::SpeedButton4Click() {
    // Timer1 counts the command's seconds; its wait for the programmer reads the same clock.
    timer1Tag_ = 0;
    SetTimer1Enabled(true);
    lastUpdate_ = mrk::SpeedButton4Click(ctx_, *this, Ctl::SpeedButton4);
    SetTimer1Enabled(false);
}
void TProg12::ReadChipClick() { (void)mrk::ReadChipClick(ctx_, *this); }
void TProg12::SravnClick() { (void)mrk::SravnClick(ctx_, *this); }
void TProg12::SpeedButton21Click() { (void)mrk::SpeedButton21Click(ctx_, *this); }
// The loads say in the status line how they went.
void TProg12::SpeedButton3Click() { (void)mrk::LoadBootLoaderFile(ImageLoadOf(ctx_)); }
void TProg12::SpeedButton7Click() { (void)mrk::LoadEmbeddedUpdate(ImageLoadOf(ctx_)); }
void TProg12::SpeedButton19Click() { (void)mrk::LoadUpdateFile(ImageLoadOf(ctx_)); }
void TProg12::SpeedButton10Click() { (void)mrk::SpeedButton10Click(ctx_, *this); }
// The log and the service line show how the read went.
void TProg12::SpeedButton11Click() { (void)mrk::SpeedButton11Click(ctx_, *this); }
void TProg12::SpeedButton16Click() { mrk::SpeedButton16Click(ctx_, *this); }
void TProg12::SpeedButton1Click() { (void)mrk::SpeedButton1Click(ctx_, *this); }
void TProg12::SpeedButton12Click() { (void)mrk::SpeedButton12Click(ctx_, *this); }
void TProg12::SpeedButton13Click() { (void)mrk::SpeedButton13Click(ctx_, *this); }
void TProg12::Avtom_Prog_PClick() {
    lastCycle_ = mrk::Avtom_Prog_PClick(ctx_, *this, Ctl::Avtom_Prog_P);
    // The button's command still holds the gate here: the next number is
    // offered once it is let go, as after a number entered with Enter.
    QTimer::singleShot(0, this, [this] { RefillLineNumber(); });
}
void TProg12::SpeedButton5Click() { ShowPage(ctx_, *this, 0); }
void TProg12::SpeedButton6Click() { ShowPage(ctx_, *this, 1); }
void TProg12::SpeedButton2Click() { ShowPage(ctx_, *this, 2); }
void TProg12::SpeedButton8Click() { ShowPage(ctx_, *this, 3); }
void TProg12::Edit1KeyDownEnter() {
    const bool busy = ctx_.commands.Gate.Running();
    RunCommand([this] { lastCycle_ = mrk::Edit1KeyDownEnter(ctx_, *this); });
    if (!busy) RefillLineNumber();
}

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
    // The journal's settings are read again with the rest: a server named since is used now.
    station_.ReloadJournalSettings();
    if (!ctx_.commands.Obnovl) RefillLineNumber();
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
        // Only digits get typed; every other character, Backspace included, is
        // dropped. Editing keys (Delete, arrows, Home/End, Ctrl+A ...) still work.
        if (key->key() == Qt::Key_Backspace) return true;
        if (IsTypedCharacter(*key) && !Edit1KeyPress(key->text().toUcs4().value(0))) return true;
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
