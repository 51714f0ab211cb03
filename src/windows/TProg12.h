#pragma once
// The main window: command buttons, the vertical gauge, the log Memokno, the
// indicators of programmer and chip, the status line. Thin over the commands in
// app/: each button's handler calls the command of the same name; the commands
// reach the widgets through MainControls (implemented here) and WidgetHost.
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include <QWidget>

#include "app/MainCommands.h"
#include "app/MainControls.h"
#include "app/Station.h"
#include "core/Context.h"
#include "windows/GuiOptions.h"
#include "windows/WidgetHost.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;
class QToolButton;

namespace Ui {
class TProg12;
}

namespace mrk::gui {

class LineNumberPanel;
class TFormConfig;
class TForm_otladka;
class TForm_Param;
class TForm_Pred;
class TRes_timer;

class TProg12 : public QWidget, public MainControls {
    Q_OBJECT
public:
    explicit TProg12(const GuiOptions& options, QWidget* parent = nullptr);
    ~TProg12() override;

    // The windows created after this one, which the main window opens.
    void SetPeers(TFormConfig* config, TForm_otladka* otladka, TForm_Param* param, TForm_Pred* pred,
                  TRes_timer* resTimer);

    Context& ctx() { return ctx_; }
    WidgetHost& host() { return host_; }
    sim::Bench* bench() { return station_.bench(); }
    journal::ProductionJournal& journal() { return station_.journal(); }
    // How the station came up: a module file it refused, for one; the window then runs nothing.
    const StationStatus& StationStart() const { return station_.OpenStatus(); }
    Station& station() { return station_; }
    const GuiOptions& options() const { return options_; }
    // True once the start-up sequence has run to its end.
    bool StartupDone() const { return startupDone_; }
    // True once the window has been closed (the program ends).
    bool Closed() const { return closed_; }
    // How the last update and the last automatic cycle ended (none yet: nothing).
    const std::optional<UpdateOutcome>& LastUpdate() const { return lastUpdate_; }
    const std::optional<CycleResult>& LastCycle() const { return lastCycle_; }
    // The line's next factory number above the field; hidden without [Journal] Numbers=.
    LineNumberPanel* LineNumbers() const { return lineNumbers_; }
    // How the close went: the settings file written, the module file saved.
    const StationStatus& CloseStatus() const { return closeStatus_; }

    // Appends one line to the log.
    void Okno(const QString& text);

    // MainControls on the widgets.
    bool Enabled(Ctl c) const override;
    void SetEnabled(Ctl c, bool enabled) override;
    void SetDown(Ctl c) override;
    bool Down(Ctl c) const override;
    bool ProtectSelected() const override;
    void SelectProtect(bool protect) override;
    std::string FactoryNumberText() const override;
    void SetFactoryNumberText(const std::string& text) override;
    void FocusEdit1() override;
    void FocusMainWindow() override;
    void SetBusyCursor(bool busy) override;

    QWidget* Control(Ctl c) const { return controls_[static_cast<size_t>(c)]; }

    // Timer1: one-second ticks counted in its tag. On the virtual bench it
    // follows the bench's clock, as the commands' tick does.
    void SetTimer1Enabled(bool enabled);
    int Timer1Tag() const { return timer1Tag_; }
    void FollowBenchClock();

    // Controls by their designer names.
    QToolButton *Prog, *SpeedButton9, *SpeedButton4, *ReadChip, *SpeedButton14, *Sravn, *SpeedButton21,
        *SpeedButton15, *SpeedButton3, *SpeedButton7, *SpeedButton19, *SpeedButton10, *SpeedButton11,
        *SpeedButton16, *SpeedButton1, *SpeedButton17, *SpeedButton18, *SpeedButton12, *Avtom_Prog_P,
        *Avt_Prog_St, *SpeedButton13, *SpeedButton5, *SpeedButton6, *SpeedButton2, *SpeedButton8,
        *SpeedButton20;
    QPushButton *Otl_oborud, *Param;
    QPushButton* JournalButton; // production mode: the station's journal window
    QLabel *Label1, *Label2, *Label3, *Label4, *Label11, *Label12, *LabelChip, *LabelInterface, *StaticText1,
        *Image2, *Image3;
    QLineEdit* Edit1;
    QFrame* Panel4;
    QGroupBox *GroupBox1, *GroupBox2, *GroupBox3;
    QRadioButton *RadioButton1, *RadioButton2;
    QCheckBox *CheckUSB, *CheckBox1, *Prog4520, *CheckBox2;
    QPlainTextEdit* Memokno;
    QProgressBar* Gauge1;
    QTimer* Timer1;

signals:
    void startupFinished();

public slots:
    // Handlers, by control and event.
    void ProgClick();
    void SpeedButton4Click();
    void ReadChipClick();
    void SravnClick();
    void SpeedButton21Click();
    void SpeedButton3Click();
    void SpeedButton7Click();
    void SpeedButton19Click();
    void SpeedButton10Click();
    void SpeedButton11Click();
    void SpeedButton16Click();
    void SpeedButton1Click();
    void SpeedButton12Click();
    void SpeedButton13Click();
    void Avtom_Prog_PClick();
    void SpeedButton5Click();
    void SpeedButton6Click();
    void SpeedButton2Click();
    void SpeedButton8Click();
    void SpeedButton20Click();
    void ConfigClick();
    void ParamClick();
    void Otl_oborudClick();
    void JournalClick();
    void Timer1Timer();
    // "СТОП": the running command stops at its next step boundary.
    void Avt_Prog_StClick();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void CreateControls();   // the form's controls and what a form cannot say
    void FormCreate();
    void FormShow();         // the start-up sequence
    void FormClose();
    void ArrangeMode();
    void Edit1KeyDownEnter();
    // The one way a command starts: through the gate, which refuses it while
    // another runs; a close asked for meanwhile is carried out after it.
    void RunCommand(const std::function<void()>& command);
    template <class Button>
    void OnCommand(Button* button, void (TProg12::*handler)()) {
        connect(button, &Button::clicked, this, [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); });
    }
    void AskCloseDuringCommand();
    // What the status line says to a command refused while another runs, and what it said before.
    static constexpr const char* kBusyNote = "Идёт работа с модулем: команда не запущена.";
    bool busyNoteShown_ = false;
    QString label3Before_;

    GuiOptions options_;
    WidgetHost host_;
    // Programmers or bench, module file, settings file and production journal.
    Station station_;
    Context& ctx_;
    std::array<QWidget*, static_cast<size_t>(Ctl::Count)> controls_{};
    std::unique_ptr<Ui::TProg12> ui_; // the controls of TProg12.ui, their button groups among them

    TFormConfig* formConfig_ = nullptr;
    TForm_otladka* formOtladka_ = nullptr;
    TForm_Param* formParam_ = nullptr;
    TForm_Pred* formPred_ = nullptr;
    TRes_timer* resTimer_ = nullptr;

    bool shownOnce_ = false;
    bool startupDone_ = false;
    bool closed_ = false;
    bool closeAsked_ = false;        // the close question is up
    bool closeAfterCommand_ = false; // answered "Да": close once the command has stopped
    std::optional<UpdateOutcome> lastUpdate_;
    std::optional<CycleResult> lastCycle_;
    LineNumberPanel* lineNumbers_ = nullptr;
    // After a cycle (or new settings): the field gets the line's next free number.
    void RefillLineNumber();
    StationStatus closeStatus_;
    int timer1Tag_ = 0;
    uint32_t timer1BenchMark_ = 0;
    bool timer1OnBench_ = false;
};

} // namespace mrk::gui
