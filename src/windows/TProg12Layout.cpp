// The main window's controls: the form TProg12.ui (client area 799 x 441), its
// captions, groups and places; here what a form cannot say.
#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

#include "windows/TProg12.h"
#include "windows/LineNumberPanel.h"
#include "ui_TProg12.h"

namespace mrk::gui {

void TProg12::CreateControls() {
    ui_ = std::make_unique<Ui::TProg12>();
    ui_->setupUi(this);
    Label1 = ui_->Label1;
    Label12 = ui_->Label12;
    Label11 = ui_->Label11;
    Image2 = ui_->Image2;
    LabelChip = ui_->LabelChip;
    Prog4520 = ui_->Prog4520;
    CheckBox2 = ui_->CheckBox2;
    LabelInterface = ui_->LabelInterface;
    CheckBox1 = ui_->CheckBox1;
    CheckUSB = ui_->CheckUSB;
    Image3 = ui_->Image3;
    Otl_oborud = ui_->Otl_oborud;
    Param = ui_->Param;
    SpeedButton20 = ui_->SpeedButton20;
    Gauge1 = ui_->Gauge1;
    Memokno = ui_->Memokno;
    Prog = ui_->Prog;
    SpeedButton9 = ui_->SpeedButton9;
    SpeedButton4 = ui_->SpeedButton4;
    ReadChip = ui_->ReadChip;
    SpeedButton14 = ui_->SpeedButton14;
    Sravn = ui_->Sravn;
    SpeedButton21 = ui_->SpeedButton21;
    SpeedButton15 = ui_->SpeedButton15;
    SpeedButton3 = ui_->SpeedButton3;
    SpeedButton7 = ui_->SpeedButton7;
    SpeedButton10 = ui_->SpeedButton10;
    SpeedButton11 = ui_->SpeedButton11;
    SpeedButton16 = ui_->SpeedButton16;
    SpeedButton1 = ui_->SpeedButton1;
    SpeedButton19 = ui_->SpeedButton19;
    Label2 = ui_->Label2;
    Label4 = ui_->Label4;
    Edit1 = ui_->Edit1;
    GroupBox2 = ui_->GroupBox2;
    Avtom_Prog_P = ui_->Avtom_Prog_P;
    Avt_Prog_St = ui_->Avt_Prog_St;
    StaticText1 = ui_->StaticText1;
    JournalButton = ui_->JournalButton;
    GroupBox1 = ui_->GroupBox1;
    RadioButton2 = ui_->RadioButton2;
    RadioButton1 = ui_->RadioButton1;
    SpeedButton13 = ui_->SpeedButton13;
    Panel4 = ui_->Panel4;
    SpeedButton17 = ui_->SpeedButton17;
    SpeedButton18 = ui_->SpeedButton18;
    SpeedButton12 = ui_->SpeedButton12;
    GroupBox3 = ui_->GroupBox3;
    SpeedButton5 = ui_->SpeedButton5;
    SpeedButton6 = ui_->SpeedButton6;
    SpeedButton2 = ui_->SpeedButton2;
    SpeedButton8 = ui_->SpeedButton8;
    Label3 = ui_->Label3;

    // The information text and the captions that are longest for their places fit
    // in a slightly smaller font, finer than the whole points a form can give.
    QFont small = font();
    small.setPointSizeF(7.2);
    for (QWidget* w : std::initializer_list<QWidget*>{Label1, Label12, Label11, SpeedButton20, ReadChip, Sravn,
                                                       SpeedButton21})
        w->setFont(small);
    Edit1->installEventFilter(this);
    lineNumbers_ = new LineNumberPanel(this, Edit1, station_);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);

    // Visible at creation: what the table says; the rest waits for a mode or the service code.
    for (QWidget* hidden : std::initializer_list<QWidget*>{
             SpeedButton9, ReadChip, SpeedButton14, Sravn, SpeedButton21, SpeedButton15, SpeedButton3,
             SpeedButton7, SpeedButton19, Label4, Edit1, SpeedButton10, SpeedButton11, SpeedButton16, SpeedButton1,
             Label2, Panel4, SpeedButton12, GroupBox2})
        hidden->setVisible(false);

    const std::pair<Ctl, QWidget*> map[] = {
        {Ctl::Prog, Prog}, {Ctl::ReadChip, ReadChip}, {Ctl::SpeedButton7, SpeedButton7}, {Ctl::Sravn, Sravn},
        {Ctl::SpeedButton3, SpeedButton3}, {Ctl::SpeedButton4, SpeedButton4}, {Ctl::SpeedButton17, SpeedButton17},
        {Ctl::SpeedButton18, SpeedButton18}, {Ctl::Otl_oborud, Otl_oborud}, {Ctl::Param, Param},
        {Ctl::SpeedButton5, SpeedButton5}, {Ctl::SpeedButton6, SpeedButton6}, {Ctl::SpeedButton2, SpeedButton2},
        {Ctl::SpeedButton8, SpeedButton8}, {Ctl::Avtom_Prog_P, Avtom_Prog_P}, {Ctl::Avt_Prog_St, Avt_Prog_St},
        {Ctl::SpeedButton13, SpeedButton13}, {Ctl::SpeedButton9, SpeedButton9}, {Ctl::SpeedButton14, SpeedButton14},
        {Ctl::SpeedButton15, SpeedButton15}, {Ctl::SpeedButton12, SpeedButton12}, {Ctl::SpeedButton21, SpeedButton21},
        {Ctl::SpeedButton10, SpeedButton10}, {Ctl::SpeedButton11, SpeedButton11}, {Ctl::SpeedButton16, SpeedButton16},
        {Ctl::SpeedButton1, SpeedButton1}, {Ctl::SpeedButton19, SpeedButton19}, {Ctl::SpeedButton20, SpeedButton20},
        {Ctl::Edit1, Edit1}, {Ctl::RadioButton1, RadioButton1}, {Ctl::RadioButton2, RadioButton2},
    };
    for (const auto& [c, widget] : map) controls_[static_cast<size_t>(c)] = widget;

    // Single border, system menu and minimize box, fixed size (the form's), centred on the desktop.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

} // namespace mrk::gui
