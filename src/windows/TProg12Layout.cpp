// The main window's controls, their captions, groups and places (client area 799 x 441).
#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QGuiApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

#include "windows/SpeedButton.h"
#include "windows/TProg12.h"

namespace mrk::gui {

namespace {

QLabel* MakeLabel(QWidget* parent, const QString& text, const QString& name, const QRect& place) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(place);
    return l;
}

// A label with a white background, as the status and service lines are.
QLabel* MakeWhiteLabel(QWidget* parent, const QString& name, const QRect& place) {
    QLabel* l = MakeLabel(parent, QString(), name, place);
    l->setAutoFillBackground(true);
    QPalette pal = l->palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    l->setPalette(pal);
    l->setIndent(4);
    return l;
}

QCheckBox* MakeIndicator(QWidget* parent, const QString& text, const QString& name, const QRect& place) {
    auto* c = new QCheckBox(text, parent);
    c->setObjectName(name);
    c->setGeometry(place);
    c->setEnabled(false); // only programmer detection sets them
    return c;
}

QLabel* MakePicture(QWidget* parent, const QString& resource, const QString& name, const QRect& place) {
    QLabel* l = MakeLabel(parent, QString(), name, place);
    l->setPixmap(QPixmap(resource));
    return l;
}

} // namespace

void TProg12::CreateControls() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(8);
    setFont(font);

    // Left: version text over the picture, indicators, the window buttons.
    Label1 = MakeLabel(this, QStringLiteral("  Версия  оболочки  5.2  от 20.11.2009  "), QStringLiteral("Label1"),
                       QRect(0, 2, 233, 16));
    Label12 = MakeLabel(this, QStringLiteral("Адаптивная поддержка 2х программаторов"), QStringLiteral("Label12"),
                        QRect(0, 18, 233, 16));
    Label11 = MakeLabel(this, QStringLiteral("Kordel и Surtan."), QStringLiteral("Label11"), QRect(0, 34, 233, 16));
    // The information text and the long driver-instructions caption fit the
    // picture's width in a slightly smaller font.
    QFont small = font;
    small.setPointSizeF(7.2);
    for (QLabel* l : {Label1, Label12, Label11}) {
        l->setAlignment(Qt::AlignCenter);
        l->setFont(small);
    }
    Image2 = MakePicture(this, QStringLiteral(":/pictures/image2.png"), QStringLiteral("Image2"),
                         QRect(4, 52, 225, 241));
    LabelChip = MakeLabel(this, QStringLiteral("Микросхема"), QStringLiteral("LabelChip"), QRect(6, 297, 100, 16));
    Prog4520 = MakeIndicator(this, QStringLiteral("4620"), QStringLiteral("Prog4520"), QRect(10, 313, 70, 18));
    CheckBox2 = MakeIndicator(this, QStringLiteral("452"), QStringLiteral("CheckBox2"), QRect(10, 331, 70, 18));
    LabelInterface = MakeLabel(this, QStringLiteral("Интерфейс"), QStringLiteral("LabelInterface"),
                               QRect(106, 297, 80, 16));
    CheckBox1 = MakeIndicator(this, QStringLiteral("LPT"), QStringLiteral("CheckBox1"), QRect(110, 313, 70, 18));
    CheckUSB = MakeIndicator(this, QStringLiteral("USB"), QStringLiteral("CheckUSB"), QRect(110, 331, 70, 18));
    Image3 = MakePicture(this, QStringLiteral(":/pictures/image3.png"), QStringLiteral("Image3"),
                         QRect(186, 304, 41, 41));
    Otl_oborud = new QPushButton(QStringLiteral("Отладка  оборуд"), this);
    Otl_oborud->setObjectName(QStringLiteral("Otl_oborud"));
    Otl_oborud->setGeometry(4, 355, 111, 27);
    Param = new QPushButton(QStringLiteral("Параметры"), this);
    Param->setObjectName(QStringLiteral("Param"));
    Param->setGeometry(118, 355, 111, 27);
    SpeedButton20 = MakeSpeedButton(this, QStringLiteral("Инструкция по установке драйвера USB"),
                                    QStringLiteral("SpeedButton20"));
    SpeedButton20->setGeometry(4, 386, 225, 28);
    SpeedButton20->setFont(small);

    // Middle: the gauge and the log.
    Gauge1 = new QProgressBar(this);
    Gauge1->setObjectName(QStringLiteral("Gauge1"));
    Gauge1->setOrientation(Qt::Vertical);
    Gauge1->setTextVisible(false);
    Gauge1->setRange(0, 100);
    Gauge1->setValue(0);
    Gauge1->setGeometry(234, 4, 16, 410);
    Memokno = new QPlainTextEdit(this);
    Memokno->setObjectName(QStringLiteral("Memokno"));
    Memokno->setReadOnly(true);
    Memokno->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Memokno->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memokno->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memokno->setUndoRedoEnabled(false);
    QFont logFont = font;
    logFont.setBold(true);
    Memokno->setFont(logFont);
    Memokno->setGeometry(254, 4, 250, 360);

    // Right: the commands.
    group1_ = new QButtonGroup(this);
    group3_ = new QButtonGroup(this);
    group4_ = new QButtonGroup(this);
    group5_ = new QButtonGroup(this);
    groupAuto_ = new QButtonGroup(this);
    const int x = 508, w = 287;
    Prog = MakeGroupedSpeedButton(this, group1_, QStringLiteral(" Запись \"BOOT\""), QStringLiteral("Prog"));
    Prog->setGeometry(x, 4, w, 24);
    SpeedButton9 = MakeGroupedSpeedButton(this, group1_, QString(), QStringLiteral("SpeedButton9"));
    SpeedButton4 = MakeSpeedButton(this, QStringLiteral(" Запись \"Обновления\""), QStringLiteral("SpeedButton4"));
    SpeedButton4->setGeometry(x, 30, w, 24);
    ReadChip = MakeGroupedSpeedButton(this, group3_, QStringLiteral("Чтение прогр. памяти"), QStringLiteral("ReadChip"));
    ReadChip->setGeometry(x, 56, 124, 24);
    SpeedButton14 = MakeGroupedSpeedButton(this, group3_, QString(), QStringLiteral("SpeedButton14"));
    Sravn = MakeGroupedSpeedButton(this, group4_, QStringLiteral(" Сравн. Загр."), QStringLiteral("Sravn"));
    Sravn->setGeometry(x + 126, 56, 76, 24);
    SpeedButton21 = MakeGroupedSpeedButton(this, group4_, QStringLiteral(" Сравн. Пр.Пам."), QStringLiteral("SpeedButton21"));
    SpeedButton21->setGeometry(x + 204, 56, 83, 24);
    for (QToolButton* b : {ReadChip, Sravn, SpeedButton21}) b->setFont(small);
    SpeedButton15 = MakeGroupedSpeedButton(this, group4_, QString(), QStringLiteral("SpeedButton15"));
    SpeedButton3 = MakeSpeedButton(this, QStringLiteral("Загрузить файл \"BOOTзагрузчика\" *.HEX/*.CRP"),
                                   QStringLiteral("SpeedButton3"));
    SpeedButton3->setGeometry(x, 82, w, 24);
    SpeedButton7 = MakeSpeedButton(this, QStringLiteral("Загрузить файл обновления  *.HEX/*.CRP"),
                                   QStringLiteral("SpeedButton7"));
    SpeedButton7->setGeometry(x, 108, w, 24);
    SpeedButton10 = MakeSpeedButton(this, QStringLiteral("WR ID"), QStringLiteral("SpeedButton10"));
    SpeedButton10->setGeometry(x, 134, 54, 24);
    SpeedButton11 = MakeSpeedButton(this, QStringLiteral("RD ID"), QStringLiteral("SpeedButton11"));
    SpeedButton11->setGeometry(x + 56, 134, 54, 24);
    SpeedButton16 = MakeSpeedButton(this, QStringLiteral("Cal CRC"), QStringLiteral("SpeedButton16"));
    SpeedButton16->setGeometry(x + 112, 134, 62, 24);
    SpeedButton1 = MakeSpeedButton(this, QStringLiteral("RD PIC"), QStringLiteral("SpeedButton1"));
    SpeedButton1->setGeometry(x + 176, 134, 56, 24);
    SpeedButton19 = MakeSpeedButton(this, QStringLiteral("*.HEX"), QStringLiteral("SpeedButton19"));
    SpeedButton19->setGeometry(x + 234, 134, 53, 24);
    Label2 = MakeWhiteLabel(this, QStringLiteral("Label2"), QRect(x, 160, w, 18));
    Label4 = MakeLabel(this, QStringLiteral("Введите зав. N модуля"), QStringLiteral("Label4"), QRect(x, 182, 132, 22));
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(x + 134, 182, w - 134, 22);
    Edit1->installEventFilter(this);

    GroupBox2 = new QGroupBox(QStringLiteral("Автоматическое программир."), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setGeometry(x, 206, w, 108);
    Avtom_Prog_P = MakeGroupedSpeedButton(GroupBox2, groupAuto_, QStringLiteral("ПУСК"), QStringLiteral("Avtom_Prog_P"));
    Avtom_Prog_P->setGeometry(8, 20, 62, 27);
    Avt_Prog_St = MakeGroupedSpeedButton(GroupBox2, groupAuto_, QStringLiteral("СТОП"), QStringLiteral("Avt_Prog_St"));
    Avt_Prog_St->setGeometry(8, 51, 62, 27);
    // Blank until a cycle ends: "OK" at start would show a success that no run had.
    StaticText1 = new QLabel(QStringLiteral("  "), GroupBox2);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    QFont big = font;
    big.setPointSize(26);
    big.setBold(true);
    StaticText1->setFont(big);
    StaticText1->setAlignment(Qt::AlignCenter);
    StaticText1->setFrameShape(QFrame::Panel);
    StaticText1->setFrameShadow(QFrame::Sunken);
    StaticText1->setGeometry(74, 18, 62, 62);
    // Under ПУСК and СТОП, so that it shows with the production controls.
    JournalButton = new QPushButton(QStringLiteral("Журнал"), GroupBox2);
    JournalButton->setObjectName(QStringLiteral("JournalButton"));
    JournalButton->setGeometry(8, 82, 128, 22);
    GroupBox1 = new QGroupBox(QStringLiteral("Маска ПЗУ"), GroupBox2);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(140, 12, 143, 92);
    RadioButton2 = new QRadioButton(QStringLiteral("Поставить защиту"), GroupBox1);
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    RadioButton2->setGeometry(6, 16, 135, 20);
    RadioButton1 = new QRadioButton(QStringLiteral("Не ставить защиту"), GroupBox1);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton1->setGeometry(6, 38, 135, 20);
    RadioButton1->setChecked(true);
    SpeedButton13 = MakeSpeedButton(GroupBox1, QStringLiteral("Старт"), QStringLiteral("SpeedButton13"));
    SpeedButton13->setGeometry(6, 62, 70, 24);

    Panel4 = new QFrame(this);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Panel4->setFrameShape(QFrame::Panel);
    Panel4->setFrameShadow(QFrame::Raised);
    Panel4->setGeometry(x, 316, w, 50);
    SpeedButton17 = MakeSpeedButton(Panel4, QStringLiteral("Конфигурация"), QStringLiteral("SpeedButton17"));
    SpeedButton17->setGeometry(2, 2, w - 4, 22);
    SpeedButton18 = MakeGroupedSpeedButton(Panel4, group5_, QStringLiteral("Очистка всей памяти и снятие бита защиты"),
                                           QStringLiteral("SpeedButton18"));
    SpeedButton18->setGeometry(2, 26, w - 4, 22);
    SpeedButton12 = MakeGroupedSpeedButton(Panel4, group5_, QString(), QStringLiteral("SpeedButton12"));

    GroupBox3 = new QGroupBox(QStringLiteral("Вывести на экран"), this);
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    GroupBox3->setGeometry(254, 368, 541, 48);
    SpeedButton5 = MakeSpeedButton(GroupBox3, QStringLiteral("Первую страницу"), QStringLiteral("SpeedButton5"));
    SpeedButton6 = MakeSpeedButton(GroupBox3, QStringLiteral("Вторую страницу"), QStringLiteral("SpeedButton6"));
    SpeedButton2 = MakeSpeedButton(GroupBox3, QStringLiteral("Третью страницу"), QStringLiteral("SpeedButton2"));
    SpeedButton8 = MakeSpeedButton(GroupBox3, QStringLiteral("Четвертую страницу"), QStringLiteral("SpeedButton8"));
    int px = 6;
    for (QToolButton* b : {SpeedButton5, SpeedButton6, SpeedButton2, SpeedButton8}) {
        b->setGeometry(px, 18, 130, 24);
        px += 133;
    }

    Label3 = MakeWhiteLabel(this, QStringLiteral("Label3"), QRect(0, 421, 799, 20));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);

    // The hidden partners start down; the command buttons up.
    for (QToolButton* partner : {SpeedButton9, SpeedButton14, SpeedButton15, SpeedButton12, Avt_Prog_St})
        partner->setChecked(true);
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

    // Single border, system menu and minimize box, fixed size, centred on the desktop.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Обновление модуля МРК (PIC18F452/PIC18F4620) ver 4.5 от 21.09.2010"));
    setFixedSize(799, 441);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

} // namespace mrk::gui
