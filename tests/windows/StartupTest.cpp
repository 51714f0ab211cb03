// Start-up of the program on the virtual bench: the confirmation window, the two
// modes' layouts, "Нет", the windows created at start.
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include "GuiFixture.h"
#include "windows/JpegPicture.h"

using namespace mrk::gui;
using namespace mrk::gui::test;

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void updateOnlyModeShowsOnlyTheUpdate() {
        WorkDir wd;
        GuiProgram p(BenchOptions("virtual-lpt"));
        QVERIFY(DriveStartup(p));
        TProg12& m = *p.Prog12;
        QCOMPARE(m.windowTitle(), QStringLiteral("Обновление модуля МРК (PIC18F452/PIC18F4620) ver 4.5 от 21.09.2010"));
        QCOMPARE(m.size(), QSize(799, 441));
        QCOMPARE(m.minimumSize(), m.maximumSize());
        for (QWidget* w : std::initializer_list<QWidget*>{m.SpeedButton4, m.Otl_oborud, m.SpeedButton20, m.Memokno,
                                                          m.Gauge1, m.Label3, m.CheckUSB, m.Prog4520})
            QVERIFY2(w->isVisible(), qPrintable(w->objectName()));
        for (QWidget* w : std::initializer_list<QWidget*>{m.Prog, m.ReadChip, m.Param, m.GroupBox3, m.Panel4,
                                                          m.GroupBox2, m.Edit1, m.Label2, m.SpeedButton21})
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
        // "Да" found the Kordel and the PIC18F4620; the indicators show it and stay read-only.
        QVERIFY(m.CheckBox1->isChecked() && !m.CheckUSB->isChecked());
        QVERIFY(m.Prog4520->isChecked() && !m.CheckBox2->isChecked());
        for (QCheckBox* c : {m.CheckUSB, m.CheckBox1, m.Prog4520, m.CheckBox2}) QVERIFY(!c->isEnabled());
        QVERIFY(m.Memokno->toPlainText().contains(QStringLiteral("Программатор Kordel успешно открыт!")));
        QVERIFY(!m.Label3->text().isEmpty()); // the built-in update image was loaded
        QCOMPARE(m.Gauge1->value(), 0);
        QCOMPARE(m.Gauge1->orientation(), Qt::Vertical);
        QVERIFY(m.Memokno->isReadOnly());
        QCOMPARE(m.Memokno->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    }

    void productionModeShowsTheProductionCommands() {
        WorkDir wd;
        WriteBootPaths(IniPathHere());
        GuiProgram p(BenchOptions("virtual-usb", "452", true));
        QVERIFY(DriveStartup(p));
        TProg12& m = *p.Prog12;
        for (QWidget* w : std::initializer_list<QWidget*>{m.Prog, m.SpeedButton4, m.Panel4, m.GroupBox2, m.Label4,
                                                          m.Edit1, m.GroupBox3, m.Param, m.Otl_oborud, m.SpeedButton20})
            QVERIFY2(w->isVisible(), qPrintable(w->objectName()));
        for (QWidget* w : std::initializer_list<QWidget*>{m.ReadChip, m.Sravn, m.SpeedButton3, m.SpeedButton7,
                                                          m.SpeedButton10, m.Label2, m.SpeedButton21, m.SpeedButton1,
                                                          m.SpeedButton19, m.SpeedButton9, m.SpeedButton12})
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
        QVERIFY(m.CheckUSB->isChecked() && m.CheckBox2->isChecked() && !m.Prog4520->isChecked());
        QCOMPARE(m.focusWidget(), static_cast<QWidget*>(m.Edit1));
        // Grouped buttons start up, their partners down.
        QVERIFY(!m.Prog->isChecked() && m.SpeedButton9->isChecked());
        QVERIFY(!m.Avtom_Prog_P->isChecked() && m.Avt_Prog_St->isChecked());
        QVERIFY(m.RadioButton1->isChecked() && !m.RadioButton2->isChecked());
    }

    void confirmationWindow() {
        WorkDir wd;
        GuiProgram p(BenchOptions("virtual-lpt"));
        TForm_Pred& pred = *p.Form_Pred;
        bool checked = false;
        StartupAnswer a;
        a.waitForFullGauge = true;
        a.beforeAnswer = [&](TForm_Pred& f) {
            QCOMPARE(f.windowTitle(), QStringLiteral("Загрузка и подготовка данных"));
            QCOMPARE(f.size(), QSize(354, 384));
            QVERIFY(f.isModal());
            // No title-bar buttons; neither Escape nor a close request closes it.
            QVERIFY(!(f.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                                        Qt::WindowMaximizeButtonHint | Qt::WindowSystemMenuHint)));
            QTest::keyClick(&f, Qt::Key_Escape);
            f.close();
            QVERIFY(f.isVisible());
            QCOMPARE(f.Gauge1->value(), 10);
            QCOMPARE(f.Gauge1->maximum(), 10);
            QCOMPARE(f.Label1->text(), QStringLiteral(" Вы уверены ,что  подключили программатор "));
            QCOMPARE(f.Label2->text(), QStringLiteral(" к модулю МРК ?"));
            for (QLabel* l : {f.Label1, f.Label2}) {
                QVERIFY(l->font().bold());
                QCOMPARE(l->palette().color(QPalette::WindowText), QColor(Qt::red));
            }
            QCOMPARE(f.Image1->pixmap().size(), QSize(305, 265));
            QCOMPARE(f.BitBtn1->text(), QStringLiteral("Да"));
            QCOMPARE(f.BitBtn2->text(), QStringLiteral("Нет"));
            checked = true;
        };
        QVERIFY(DriveStartup(p, a));
        QVERIFY(checked);
        QVERIFY(!pred.isVisible());
        // The gauge stays full; the timer stops on the tick after it filled.
        QTRY_VERIFY_WITH_TIMEOUT(!pred.Timer1->isActive(), 2000);
        QCOMPARE(pred.Gauge1->value(), 10);
        // The windows after the main one, in their order of creation.
        QStringList order;
        for (QDialog* d : p.Prog12->findChildren<QDialog*>(Qt::FindDirectChildrenOnly)) order << d->objectName();
        QCOMPARE(order, (QStringList{QStringLiteral("FormConfig"), QStringLiteral("Form_otladka"),
                                     QStringLiteral("Form_Param"), QStringLiteral("Form_Pred")}));
        // The timer form exists but is never shown.
        QVERIFY(p.Res_timer && !p.Res_timer->isVisible());
        QCOMPARE(p.Res_timer->windowTitle(), QStringLiteral("Res_timer"));
    }

    void noEndsTheProgramAndLeavesTheSettingsFile() {
        WorkDir wd;
        const QString ini = IniPathHere();
        const QByteArray before = "[Form_Param]\nEdit1=c:\\upd.bin\nAdrLpt=632\n";
        {
            QFile f(ini);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(before);
        }
        const QDateTime stamp = QFileInfo(ini).lastModified();
        GuiProgram p(BenchOptions("virtual-lpt"));
        StartupAnswer a;
        a.yes = false;
        QVERIFY(DriveStartup(p, a));
        QVERIFY(p.Prog12->Closed());
        QVERIFY(!p.Prog12->isVisible());
        // No hardware was touched: nothing found, nothing reported.
        QVERIFY(!p.Prog12->CheckBox1->isChecked() && !p.Prog12->CheckUSB->isChecked());
        QVERIFY(!p.Prog12->Memokno->toPlainText().contains(QStringLiteral("успешно открыт")));
        QFile f(ini);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
        QCOMPARE(QFileInfo(ini).lastModified(), stamp);
    }

    void productionModeWritesTheSettingsAtClose() {
        WorkDir wd;
        const QString ini = IniPathHere();
        WriteBootPaths(ini);
        {
            GuiProgram p(BenchOptions("virtual-lpt", "4620", true));
            QVERIFY(DriveStartup(p));
            p.Prog12->close();
            QVERIFY(p.Prog12->Closed());
        }
        QFile f(ini);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        QVERIFY2(text.contains(QStringLiteral("AdrLpt=888")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("boot-4620.hex")));
        QVERIFY(!text.contains(QStringLiteral("ConfigWrite"))); // the update path ends in .hex
    }

    void withoutChipTheStartUpGoesOnAndSaysSo() {
        WorkDir wd;
        GuiProgram p(BenchOptions("virtual-lpt", "none"));
        QStringList boxes;
        StartupAnswer a;
        a.boxes = &boxes;
        QVERIFY(DriveStartup(p, a));
        TProg12& m = *p.Prog12;
        QCOMPARE(boxes, QStringList{QStringLiteral("Не верно прочитался ID процессора")});
        QVERIFY(m.CheckBox1->isChecked());
        QVERIFY(!m.Prog4520->isChecked() && !m.CheckBox2->isChecked());
        QVERIFY(m.isVisible() && m.SpeedButton4->isEnabled());
    }

    void damagedPictureDecodesToNothing() {
        QFile f(QStringLiteral(":/pictures/notice.jpg"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray good = f.readAll();
        QCOMPARE(DecodeJpeg(good).size(), QSize(305, 265));
        QString error;
        QVERIFY(DecodeJpeg(good.left(good.size() / 3).append(QByteArray(16, '\0')).left(40), &error).isNull());
        QVERIFY(!error.isEmpty());
        QVERIFY(DecodeJpeg(QByteArray("not a picture"), &error).isNull());
        QVERIFY(DecodeJpeg(QByteArray()).isNull());
        // A second frame header after the picture's data: libjpeg gives up once the
        // rows are being read into the picture, and nothing of it is kept.
        QByteArray twoFrames = good.left(good.size() - 2);
        twoFrames.append(good.mid(good.indexOf(QByteArray("\xFF\xC0", 2)), 19)).append("\xFF\xD9", 2);
        error.clear();
        QVERIFY(DecodeJpeg(twoFrames, &error).isNull());
        QVERIFY2(error.contains(QStringLiteral("SOF")), qPrintable(error));
    }
};

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
