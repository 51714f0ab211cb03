#include "windows/TForm_Pred.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "icsp/OpenProgrammer.h"
#include "windows/JpegPicture.h"
#include "windows/TProg12.h"

namespace mrk::gui {

namespace {

QLabel* MakeRedBoldLabel(QWidget* parent, const QString& text, const QString& name, int y) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    QFont f = parent->font();
    f.setBold(true);
    l->setFont(f);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, Qt::red);
    l->setPalette(pal);
    l->setAlignment(Qt::AlignCenter);
    l->setGeometry(4, y, 346, 18);
    return l;
}

} // namespace

TForm_Pred::TForm_Pred(TProg12& main) : QDialog(&main), main_(main) {
    setObjectName(QStringLiteral("Form_Pred"));
    setWindowTitle(QStringLiteral("Загрузка и подготовка данных"));
    // A dialog border without any title-bar buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(9);
    setFont(font);
    setFixedSize(354, 384);

    Gauge1 = new QProgressBar(this);
    Gauge1->setObjectName(QStringLiteral("Gauge1"));
    Gauge1->setTextVisible(false);
    Gauge1->setRange(0, 100);
    Gauge1->setValue(0);
    Gauge1->setStyleSheet(QStringLiteral("QProgressBar { border: 1px solid #808080; background: white; }"
                                         "QProgressBar::chunk { background: #0000ff; }"));
    Gauge1->setGeometry(10, 8, 334, 14);
    Label1 = MakeRedBoldLabel(this, QStringLiteral(" Вы уверены ,что  подключили программатор "),
                              QStringLiteral("Label1"), 28);
    Label2 = MakeRedBoldLabel(this, QStringLiteral(" к модулю МРК ?"), QStringLiteral("Label2"), 46);
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(24, 68, 305, 265);
    Image1->setPixmap(QPixmap::fromImage(LoadJpeg(QStringLiteral(":/pictures/notice.jpg"))));
    BitBtn1 = new QPushButton(QStringLiteral("Да"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(54, 343, 100, 30);
    BitBtn2 = new QPushButton(QStringLiteral("Нет"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(200, 343, 100, 30);
    BitBtn1->setAutoDefault(false);
    BitBtn2->setAutoDefault(false);
    connect(BitBtn1, &QPushButton::clicked, this, &TForm_Pred::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm_Pred::BitBtn2Click);

    // Enabled from creation; it fills the gauge once the window is shown.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(50);
    connect(Timer1, &QTimer::timeout, this, &TForm_Pred::Timer1Timer);
    Timer1->start();

    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TForm_Pred::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    FormShow();
}

void TForm_Pred::FormShow() {
    gaugeLimit_ = 10;
    Gauge1->setMaximum(10);
    Gauge1->setValue(0);
    shown_ = true;
}

void TForm_Pred::Timer1Timer() {
    // Ticks before the window is first shown would find the gauge at its
    // (still zero) limit and stop the timer for good: they wait for the show.
    if (!shown_) return;
    if (Gauge1->value() == gaugeLimit_) Timer1->stop();
    Gauge1->setValue(qMin(Gauge1->value() + 1, Gauge1->maximum()));
    QCoreApplication::processEvents();
}

void TForm_Pred::BitBtn1Click() {
    // When no programmer answered, the log says which device could not be used and why.
    const DetectOutcome detected = main_.station().Detect();
    for (const std::string& line : detected.problems) main_.Okno(QString::fromStdString(line));
    CloseByButton(QDialog::Accepted);
}

void TForm_Pred::BitBtn2Click() {
    CloseByButton(QDialog::Rejected);
    main_.close();
}

void TForm_Pred::CloseByButton(int result) {
    closingByButton_ = true;
    done(result);
    closingByButton_ = false;
}

void TForm_Pred::reject() {
    if (closingByButton_) QDialog::reject();
}

void TForm_Pred::closeEvent(QCloseEvent* e) {
    if (closingByButton_) QDialog::closeEvent(e);
    else e->ignore();
}

} // namespace mrk::gui
