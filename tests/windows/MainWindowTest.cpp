// The main window's commands on the real widgets, on the virtual bench.
#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>

#include "GuiFixture.h"
#include "sim/Bench.h"
#include "windows/DriverInstructions.h"
#include "windows/LineNumberPanel.h"

using namespace mrk::gui;
using namespace mrk::gui::test;
using mrk::Ctl;

namespace {

QStringList LogLines(TProg12& m) {
    return m.Memokno->toPlainText().split(QLatin1Char('\n'));
}

struct Snapshot {
    bool taken = false;
    std::array<bool, mrk::kManagedControls> enabled{};
    bool unmanagedEnabled = false;
    Qt::CursorShape cursor = Qt::ArrowCursor;
    bool senderDown = false;
};

// Records the controls once, the first time the event loop runs while `busy` holds.
class DuringCommand : public QObject {
public:
    DuringCommand(TProg12& m, std::function<bool()> busy, QToolButton* sender) : m_(m), busy_(std::move(busy)) {
        auto* t = new QTimer(this);
        t->setInterval(0);
        connect(t, &QTimer::timeout, this, [this, t, sender] {
            if (snap.taken || !busy_()) return;
            snap.taken = true;
            for (int i = 0; i < mrk::kManagedControls; ++i) snap.enabled[i] = m_.Enabled(Ctl(i));
            snap.unmanagedEnabled = m_.SpeedButton20->isEnabled() && m_.SpeedButton11->isEnabled() &&
                                    m_.Edit1->isEnabled() && m_.RadioButton1->isEnabled();
            snap.cursor = m_.cursor().shape();
            snap.senderDown = sender && sender->isChecked();
            t->stop();
        });
        t->start();
    }
    Snapshot snap;

private:
    TProg12& m_;
    std::function<bool()> busy_;
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void updateButtonLocksTheControlsWhileItRuns() {
        WorkDir wd;
        GuiProgram p(BenchOptions("virtual-lpt"));
        QVERIFY(DriveStartup(p));
        TProg12& m = *p.Prog12;
        std::array<bool, mrk::kManagedControls> before{};
        for (int i = 0; i < mrk::kManagedControls; ++i) before[i] = m.Enabled(Ctl(i));
        DuringCommand during(m, [&] { return m.cursor().shape() == Qt::WaitCursor; }, nullptr);
        m.SpeedButton4->click();
        QVERIFY(during.snap.taken);
        // While it runs: all 16 disabled (the update button too), "СТОП" and the
        // unmanaged controls usable, the hourglass cursor.
        for (int i = 0; i < mrk::kManagedControls; ++i)
            QVERIFY2(during.snap.enabled[i] == (Ctl(i) == Ctl::Avt_Prog_St), qPrintable(QString::number(i)));
        QVERIFY(during.snap.unmanagedEnabled);
        QCOMPARE(during.snap.cursor, Qt::WaitCursor);
        // Afterwards everything as before, the cursor back.
        for (int i = 0; i < mrk::kManagedControls; ++i) QCOMPARE(m.Enabled(Ctl(i)), before[i]);
        QVERIFY(m.cursor().shape() != Qt::WaitCursor);
        const QStringList log = LogLines(m);
        QCOMPARE(log.value(log.size() - 2), QStringLiteral("КС Программы OK."));
        QCOMPARE(log.last(), QStringLiteral("Можно подключить следующий модуль."));
    }

    void updateButtonWithoutBootLoaderSaysSo() {
        WorkDir wd;
        GuiOptions o = BenchOptions("virtual-usb");
        o.module = wd.Path(QStringLiteral("blank.hex")); // does not exist: a blank module
        GuiProgram p(o);
        QVERIFY(DriveStartup(p));
        TProg12& m = *p.Prog12;
        m.SpeedButton4->click();
        const QString log = m.Memokno->toPlainText();
        QVERIFY2(log.contains(QStringLiteral("Нет готовности модуля.")), qPrintable(log));
        QVERIFY(!log.contains(QStringLiteral("КС Программы OK.")));
        QVERIFY(m.SpeedButton4->isEnabled());
        QVERIFY(m.cursor().shape() != Qt::WaitCursor);
    }

    // The bench's faults reach the window as they reach the command line: what
    // an operator in training sees when the programmer is pulled out or the module is silent.
    void updateButtonUnderBenchFaults_data() {
        QTest::addColumn<QString>("bench");
        QTest::addColumn<QString>("chip");
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("ok");
        QTest::newRow("Surtan pulled out in the stream")
            << "virtual-usb" << "4620" << QStringList{"ftdi-unplug-after=150"}
            << QStringLiteral("Связь с программатором потеряна.") << false;
        QTest::newRow("Kordel pulled out in the stream")
            << "virtual-lpt" << "4620" << QStringList{"kordel-unplug-after=500000"}
            << QStringLiteral("Связь с программатором потеряна.") << false;
        QTest::newRow("no boot loader") << "virtual-lpt" << "452" << QStringList{"no-boot-loader"}
                                        << QStringLiteral("Нет готовности модуля.") << false;
        QTest::newRow("slow flash is waited for") << "virtual-usb" << "452" << QStringList{"slow-flash=3"}
                                                  << QStringLiteral("КС Программы OK.") << true;
    }
    void updateButtonUnderBenchFaults() {
        QFETCH(QString, bench);
        QFETCH(QString, chip);
        QFETCH(QStringList, faults);
        QFETCH(QString, expected);
        QFETCH(bool, ok);
        WorkDir wd;
        GuiOptions o = BenchOptions(qPrintable(bench), qPrintable(chip));
        o.faults = faults;
        GuiProgram p(o);
        QVERIFY(DriveStartup(p));
        TProg12& m = *p.Prog12;
        // The driver's error boxes are read and answered as the operator would.
        QStringList boxes;
        QTimer answer;
        answer.setInterval(10);
        connect(&answer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                boxes << box->text();
                box->accept();
            }
        });
        answer.start();
        m.SpeedButton4->click();
        answer.stop();
        const QString log = m.Memokno->toPlainText();
        QVERIFY2(log.contains(expected), qPrintable(log + boxes.join(QLatin1Char('\n'))));
        QCOMPARE(log.contains(QStringLiteral("КС Программы OK.")), ok);
        QVERIFY(m.SpeedButton4->isEnabled());
    }

    void faultOptionsAreCheckedAsOnTheCommandLine() {
        GuiOptions o;
        QString error;
        QVERIFY(ParseGuiOptions({"mrkprog-gui", "--bench", "virtual-usb", "--fault", "ftdi-unplug-after=40", "--fault",
                                 "slow-flash=2"},
                                o, &error));
        QCOMPARE(o.faults, (QStringList{"ftdi-unplug-after=40", "slow-flash=2"}));
        QVERIFY(!ParseGuiOptions({"mrkprog-gui", "--bench", "virtual-usb", "--fault", "no-such-fault"}, o, &error));
        QVERIFY2(error.contains(QStringLiteral("no-such-fault")), qPrintable(error));
        // A fault needs the bench: real hardware is never given one.
        QVERIFY(!ParseGuiOptions({"mrkprog-gui", "--fault", "ftdi-absent"}, o, &error));
        QVERIFY2(error.contains(QStringLiteral("--bench")), qPrintable(error));
    }

    void pageButtonsListAQuarterAndMarkTheirPage() {
        WorkDir wd;
        WriteBootPaths(IniPathHere());
        GuiProgram p(BenchOptions("virtual-lpt", "4620", true));
        QVERIFY(DriveStartup(p));
        TProg12& m = *p.Prog12;
        QToolButton* pages[4] = {m.SpeedButton5, m.SpeedButton6, m.SpeedButton2, m.SpeedButton8};
        const struct {
            int page, lines;
            const char* first;
        } cases[] = {{2, 1707, "8000:"}, {3, 2389, "B558:"}, {0, 2048, "000:"}};
        for (const auto& c : cases) {
            pages[c.page]->click();
            for (int k = 0; k < 4; ++k) QCOMPARE(pages[k]->isEnabled(), k != c.page);
            QCOMPARE(m.Memokno->document()->blockCount(), c.lines + 1);
            QCOMPARE(m.Memokno->document()->firstBlock().text(), QStringLiteral("Карта памяти программ."));
            QVERIFY(m.Memokno->document()->findBlockByNumber(1).text().startsWith(QLatin1String(c.first)));
            QCOMPARE(m.Gauge1->value(), c.lines - 1);
            QVERIFY(!p.Prog12->host().LogHeld());
        }
    }

    void factoryNumberAndEnterRunAWholeCycle() {
        WorkDir wd;
        GuiProgram p(ProductionOnBlankModule(wd));
        QVERIFY(DriveStartup(p));
        TProg12& m = *p.Prog12;
        // Only digits get typed; Backspace is dropped too.
        QTest::keyClicks(m.Edit1, QStringLiteral("12a3"));
        QTest::keyClick(m.Edit1, Qt::Key_Backspace);
        QTest::keyClicks(m.Edit1, QStringLiteral("4"));
        QCOMPARE(m.Edit1->text(), QStringLiteral("1234"));
        DuringCommand during(m, [&] { return !m.Param->isEnabled(); }, m.Avtom_Prog_P);
        QTest::keyClick(m.Edit1, Qt::Key_Return);
        QVERIFY(during.snap.taken);
        QVERIFY(during.snap.senderDown); // "ПУСК" stays down while the cycle runs
        QCOMPARE(m.StaticText1->text(), QStringLiteral("OK"));
        QVERIFY(m.Avt_Prog_St->isChecked() && !m.Avtom_Prog_P->isChecked());
        QVERIFY(m.Edit1->text().isEmpty());
        QVERIFY(m.Param->isEnabled() && m.Prog->isEnabled());
        QVERIFY2(m.Memokno->toPlainText().contains(QStringLiteral("КС Программы OK.")),
                 qPrintable(m.Memokno->toPlainText()));
    }

    // [Journal] Numbers=: the field holds the line's next free number, shown large above
    // it; a number typed instead is the one shown; after the cycle the next one is offered.
    // Without the setting the field stays the operator's and nothing is shown.
    void lineNumberFillsTheFieldAndIsShownLarge() {
        WorkDir wd;
        GuiOptions o = ProductionOnBlankModule(wd);
        {
            QFile f(IniPathHere());
            QVERIFY(f.open(QIODevice::Append));
            f.write("[Journal]\nNumbers=40-49\n");
        }
        GuiProgram p(o);
        QVERIFY(DriveStartup(p));
        TProg12& m = *p.Prog12;
        QLabel* big = m.LineNumbers()->Number();
        QVERIFY(big->isVisible());
        QCOMPARE(m.Edit1->text(), QStringLiteral("40"));
        QCOMPARE(big->text(), QStringLiteral("№ 40"));
        QVERIFY2(big->font().pointSize() >= 3 * m.Edit1->font().pointSize(), "large enough for a label");
        m.Edit1->setText(QStringLiteral("45"));
        QCOMPARE(big->text(), QStringLiteral("№ 45"));
        m.Edit1->setText(QStringLiteral("40"));
        QTest::keyClick(m.Edit1, Qt::Key_Return);
        QCOMPARE(m.StaticText1->text(), QStringLiteral("OK"));
        QCOMPARE(m.Edit1->text(), QStringLiteral("41"));
        QCOMPARE(big->text(), QStringLiteral("№ 41"));
        // Started by ПУСК instead of Enter: the next one is offered all the same.
        m.Avtom_Prog_P->click();
        QCOMPARE(m.StaticText1->text(), QStringLiteral("OK"));
        QTRY_COMPARE(m.Edit1->text(), QStringLiteral("42"));
        QCOMPARE(big->text(), QStringLiteral("№ 42"));
    }

    void withoutLineNumbersTheFieldStaysEmpty() {
        WorkDir wd;
        GuiProgram p(ProductionOnBlankModule(wd));
        QVERIFY(DriveStartup(p));
        TProg12& m = *p.Prog12;
        QVERIFY(!m.LineNumbers()->Number()->isVisible());
        QVERIFY(!m.LineNumbers()->Caption()->isVisible());
        QVERIFY(m.Edit1->text().isEmpty());
    }

    // The indicator starts blank: "OK" before any run would be a success nobody had.
    // Mid-cycle, a number entered and WR ID / RD ID start nothing, and the status line says why.
    void refusedClicksMidCycleAreSaidAndTheIndicatorStartsBlank() {
        WorkDir wd;
        GuiProgram p(ProductionOnBlankModule(wd));
        QVERIFY(DriveStartup(p));
        TProg12& m = *p.Prog12;
        QCOMPARE(m.StaticText1->text().trimmed(), QString());
        QStringList said;
        bool tried = false;
        QTimer t;
        t.setInterval(0);
        QObject::connect(&t, &QTimer::timeout, [&] {
            if (tried || m.Param->isEnabled()) return; // until the cycle runs
            tried = true;
            t.stop();
            m.SpeedButton10->click();
            said << m.Label3->text();
            m.SpeedButton11->click();
            said << m.Label3->text();
            m.Edit1->setText(QStringLiteral("77"));
            QTest::keyClick(m.Edit1, Qt::Key_Return);
            said << m.Label3->text();
        });
        t.start();
        QTest::keyClicks(m.Edit1, QStringLiteral("1234"));
        QTest::keyClick(m.Edit1, Qt::Key_Return);
        QVERIFY(tried);
        for (const QString& s : said) QVERIFY2(s.startsWith(QStringLiteral("Идёт работа с модулем")), qPrintable(s));
        QCOMPARE(m.StaticText1->text(), QStringLiteral("OK"));
        QVERIFY2(!LogLines(m).join('\n').contains(QStringLiteral("d[0]=")), "RD ID did not run inside the cycle");
        QVERIFY2(!m.Label3->text().startsWith(QStringLiteral("Идёт работа")), qPrintable(m.Label3->text()));
    }

    void enterWithoutNumberAsksForIt() {
        WorkDir wd;
        WriteBootPaths(IniPathHere());
        GuiProgram p(BenchOptions("virtual-lpt", "4620", true));
        QVERIFY(DriveStartup(p));
        TProg12& m = *p.Prog12;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        int buttons = 0;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            text = box->text();
            icon = box->icon();
            buttons = static_cast<int>(box->buttons().size());
            box->button(QMessageBox::Ok)->click();
        });
        QTest::keyClick(m.Edit1, Qt::Key_Return);
        QCOMPARE(text, QStringLiteral("Введите заводской номер."));
        QCOMPARE(icon, QMessageBox::Information);
        QCOMPARE(buttons, 1);
        QVERIFY(m.Avt_Prog_St->isChecked());
    }

    void timer1FollowsTheBenchClock() {
        WorkDir wd;
        GuiProgram p(BenchOptions("virtual-lpt"));
        TProg12& m = *p.Prog12;
        m.SetTimer1Enabled(true);
        p.Prog12->bench()->Clock().Advance(3500 * mrk::sim::kMs);
        m.host().Pump();
        QCOMPARE(m.Timer1Tag(), 3);
        m.SetTimer1Enabled(false);
        p.Prog12->bench()->Clock().Advance(2000 * mrk::sim::kMs);
        m.host().Pump();
        QCOMPARE(m.Timer1Tag(), 3);
    }

    void driverInstructionsTwiceGiveNineteenLinesFromTheTop() {
        WorkDir wd;
        GuiProgram p(BenchOptions("virtual-lpt"));
        QVERIFY(DriveStartup(p));
        TProg12& m = *p.Prog12;
        for (int click = 0; click < 2; ++click) {
            m.SpeedButton20->click();
            QCoreApplication::processEvents();
            QCOMPARE(m.Memokno->document()->blockCount(), 19);
            QCOMPARE(m.Memokno->document()->firstBlock().text(), QString::fromUtf8(kDriverInstructionLines[0]));
            QCOMPARE(m.Memokno->document()->lastBlock().text(), QString::fromUtf8(kDriverInstructionLines[18]));
            QCOMPARE(m.Memokno->verticalScrollBar()->value(), 0);
            QCOMPARE(m.Memokno->textCursor().position(), 0);
            QCOMPARE(m.focusWidget(), static_cast<QWidget*>(m.Memokno));
        }
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
