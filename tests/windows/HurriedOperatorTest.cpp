// The main window under hurried hands, on the real widgets and the virtual
// bench: keys and clicks that arrive while a cycle runs, "СТОП", a close in the
// middle of a command, numbers that do not fit, the question boxes, the field
// editing keys, the port address of the parameters window.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "GuiFixture.h"
#include "journal/JournalStore.h"
#include "journal/ProductionJournal.h"
#include "sim/Bench.h"

using namespace mrk::gui;
using namespace mrk::gui::test;

namespace {

int Count(TProg12& m, const QString& line) {
    return int(m.Memokno->toPlainText().split(QLatin1Char('\n')).count(line));
}

uint16_t IdWord(TProg12& m, int k) {
    auto* module = m.bench()->Module();
    const uint32_t a = 0x200000 + 2u * uint32_t(k);
    return uint16_t(module->Peek(a) | module->Peek(a + 1) << 8);
}

// Does `act` once, from the event loop the running command pumps, as soon as
// the log holds `line`.
class WhenLogged : public QObject {
public:
    WhenLogged(TProg12& m, QString line, std::function<void()> act) {
        auto* t = new QTimer(this);
        t->setInterval(0);
        connect(t, &QTimer::timeout, this, [&m, line, act, t] {
            if (!m.Memokno->toPlainText().contains(line)) return;
            t->stop();
            act();
        });
        t->start();
    }
};

// Every message box that comes up is noted and answered with its default button.
class BoxWatch : public QObject {
public:
    BoxWatch() {
        auto* t = new QTimer(this);
        t->setInterval(0);
        connect(t, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            texts << box->text();
            if (box->defaultButton()) box->defaultButton()->click();
            else if (!box->buttons().isEmpty()) box->buttons().first()->click();
        });
        t->start();
    }
    QStringList texts;
};

std::optional<mrk::journal::JournalRecord> JournalRecordOf(TProg12& m, uint16_t number) {
    std::string error;
    mrk::journal::JournalStore* store = m.journal().Local(error);
    if (!store) return std::nullopt;
    mrk::journal::ListFilter f;
    f.number = number;
    const auto records = store->List(f);
    if (records.empty()) return std::nullopt;
    return records.front();
}

// Sends one key as X11 delivers it, with the key text the X server gives.
void XKey(QWidget* w, Qt::Key key, const char* text, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::sendKeyEvent(QTest::Press, w, key, QString::fromLatin1(text), mods);
    QTest::sendKeyEvent(QTest::Release, w, key, QString::fromLatin1(text), mods);
}

} // namespace

class HurriedOperatorTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    // The next module's number typed and Enter pressed while "Защита OK" shows,
    // a double "ПУСК" and the chip's service buttons: none of them starts anything.
    void nothingStartsWhileACycleRuns() {
        WorkDir wd;
        GuiProgram p(ProductionOnBlankModule(wd));
        QVERIFY(DriveStartup(p));
        TProg12& m = *p.Prog12;
        BoxWatch boxes;
        QString typedDuringRun;
        WhenLogged protectedNow(m, QStringLiteral("Защита OK"), [&] {
            QTest::keyClicks(m.Edit1, QStringLiteral("5678"));
            typedDuringRun = m.Edit1->text();
            QTest::keyClick(m.Edit1, Qt::Key_Return);
            QTest::keyClick(m.Edit1, Qt::Key_Return);
            for (QToolButton* b : {m.Avtom_Prog_P, m.SpeedButton10, m.SpeedButton11, m.SpeedButton1, m.SpeedButton13})
                QTest::mouseClick(b, Qt::LeftButton);
        });
        // The managed controls stay locked from the lock to the end (steps 11-12 included).
        bool locked = false, unlockedAgain = false;
        QTimer watch;
        watch.setInterval(0);
        connect(&watch, &QTimer::timeout, [&] {
            if (m.StaticText1->text() != QLatin1String("  ")) return; // the run is on while it is blank
            if (!m.Param->isEnabled()) locked = true;
            else if (locked) unlockedAgain = true;
        });
        watch.start();
        QTest::keyClicks(m.Edit1, QStringLiteral("1234"));
        QTest::keyClick(m.Edit1, Qt::Key_Return);
        watch.stop();

        QCOMPARE(typedDuringRun, QStringLiteral("5678")); // typing stays allowed
        QVERIFY(locked);
        QVERIFY(!unlockedAgain);
        QCOMPARE(m.StaticText1->text(), QStringLiteral("OK"));
        QVERIFY2(boxes.texts.isEmpty(), qPrintable(boxes.texts.join('|')));
        QCOMPARE(Count(m, QStringLiteral("Прогр. OK")), 1);
        QCOMPARE(Count(m, QStringLiteral("Номер модуля OK.")), 1);
        m.bench()->Module()->Settle(m.bench()->Clock().Now() + 100 * mrk::sim::kMs);
        QCOMPARE(IdWord(m, 1), uint16_t(1234));
        // After the run Enter starts the next one again.
        QTest::keyClicks(m.Edit1, QStringLiteral("0"));
        QTest::keyClick(m.Edit1, Qt::Key_Return);
        QCOMPARE(boxes.texts, QStringList{QStringLiteral("Неверный заводской номер.")});
    }

    // The number of the module just made, typed again for the next one: "Нет" to
    // "the same module?" refuses the run, and the last run's "OK" goes with it.
    void aRefusedNumberClearsThePreviousOK() {
        WorkDir wd;
        GuiProgram p(ProductionOnBlankModule(wd));
        QVERIFY(DriveStartup(p));
        TProg12& m = *p.Prog12;
        QTest::keyClicks(m.Edit1, QStringLiteral("1234"));
        QTest::keyClick(m.Edit1, Qt::Key_Return);
        QCOMPARE(m.StaticText1->text(), QStringLiteral("OK"));
        const int burned = Count(m, QStringLiteral("Прогр. OK"));

        BoxWatch boxes;
        QTest::keyClicks(m.Edit1, QStringLiteral("1234"));
        QTest::keyClick(m.Edit1, Qt::Key_Return);
        QCOMPARE(boxes.texts.size(), 2);
        QVERIFY2(boxes.texts[1].contains(QStringLiteral("уже использован")), qPrintable(boxes.texts.join('|')));
        QCOMPARE(m.StaticText1->text(), QStringLiteral("  "));
        QCOMPARE(Count(m, QStringLiteral("Прогр. OK")), burned); // nothing written
        QVERIFY(m.Edit1->text().isEmpty());
        QVERIFY(m.Param->isEnabled());
    }

    void stopEndsTheCycleAtTheNextStep() {
        WorkDir wd;
        GuiProgram p(ProductionOnBlankModule(wd));
        QVERIFY(DriveStartup(p));
        TProg12& m = *p.Prog12;
        WhenLogged booted(m, QStringLiteral("Прогр. OK"),
                          [&] { QTest::mouseClick(m.Avt_Prog_St, Qt::LeftButton); });
        QTest::keyClicks(m.Edit1, QStringLiteral("77"));
        QTest::keyClick(m.Edit1, Qt::Key_Return);
        QCOMPARE(m.StaticText1->text(), QStringLiteral("X"));
        const QString log = m.Memokno->toPlainText();
        QVERIFY2(log.contains(QStringLiteral("Остановлено оператором.")), qPrintable(log));
        // The click is seen at the next pump (inside the read-back); the boundary after it ends the run.
        QVERIFY(!log.contains(QStringLiteral("Защита OK")));
        QVERIFY(m.Avt_Prog_St->isChecked() && !m.Avtom_Prog_P->isChecked());
        QVERIFY(m.Param->isEnabled());
        const auto rec = JournalRecordOf(m, 77);
        QVERIFY(rec.has_value());
        QCOMPARE(QString::fromStdString(rec->result), QStringLiteral("stopped"));
        // "СТОП" with nothing running changes nothing.
        QTest::mouseClick(m.Avt_Prog_St, Qt::LeftButton);
        QCOMPARE(m.StaticText1->text(), QStringLiteral("X"));
    }

    void numbersThatDoNotFitSixteenBitsAreRefused() {
        WorkDir wd;
        GuiProgram p(ProductionOnBlankModule(wd));
        QVERIFY(DriveStartup(p));
        TProg12& m = *p.Prog12;
        for (const char* number : {"70000", "65537", "65536"}) {
            BoxWatch boxes;
            QTest::keyClicks(m.Edit1, QString::fromLatin1(number));
            QTest::keyClick(m.Edit1, Qt::Key_Return);
            QCOMPARE(boxes.texts, QStringList{QStringLiteral("Неверный заводской номер.")});
            QVERIFY(m.Edit1->text().isEmpty());
            QVERIFY(!m.Memokno->toPlainText().contains(QStringLiteral("Прогр. OK")));
        }
    }

    // Every question of the program: "Да" / "Нет", "Нет" the default and the Escape answer.
    void questionsAreAnsweredDaOrNetAndNetByDefault() {
        WorkDir wd;
        GuiProgram p(BenchOptions("virtual-lpt"));
        QVERIFY(DriveStartup(p));
        TProg12& m = *p.Prog12;
        struct Seen {
            QStringList captions;
            QString defaultCaption;
        };
        for (Qt::Key answer : {Qt::Key_Return, Qt::Key_Escape}) {
            Seen seen;
            QTimer::singleShot(0, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (!box) return;
                for (QAbstractButton* b : box->buttons()) seen.captions << b->text();
                seen.defaultCaption = box->defaultButton() ? box->defaultButton()->text() : QString();
                QTest::keyClick(box, answer);
            });
            const auto r = m.host().MessageBox("Это тот же модуль?", "", mrk::MsgKind::Confirmation,
                                               mrk::MsgButtons::YesNo);
            seen.captions.sort();
            QCOMPARE(seen.captions, (QStringList{QStringLiteral("Да"), QStringLiteral("Нет")}));
            QCOMPARE(seen.defaultCaption, QStringLiteral("Нет"));
            QCOMPARE(r, mrk::MsgResult::No);
        }
        // The other boxes carry no English either.
        QString cancel;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            cancel = box->button(QMessageBox::Cancel)->text();
            box->button(QMessageBox::Ok)->click();
        });
        m.host().MessageBox("?", "", mrk::MsgKind::Information, mrk::MsgButtons::OkCancel);
        QCOMPARE(cancel, QStringLiteral("Отмена"));
    }

    // Closing while the module is driven: asked, carried out at the next step
    // boundary, the settings written after the command has ended.
    void closeDuringACycleWaitsForTheNextStep() {
        for (bool yes : {false, true}) {
            WorkDir wd;
            GuiProgram p(ProductionOnBlankModule(wd));
            QVERIFY(DriveStartup(p));
            TProg12& m = *p.Prog12;
            const QString ini = IniPathHere();
            const QByteArray before = [&] {
                QFile f(ini);
                return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
            }();
            bool hiddenDuringRun = false, asked = false, settingsWrittenDuringRun = false;
            WhenLogged booted(m, QStringLiteral("Прогр. OK"), [&] {
                m.close(); // as the window manager's close does
                hiddenDuringRun = !m.isVisible();
                QTimer::singleShot(0, [&, yes] {
                    for (QMessageBox* box : m.findChildren<QMessageBox*>()) {
                        if (!box->isVisible()) continue;
                        asked = true;
                        for (QAbstractButton* b : box->buttons())
                            if (b->text() == QString::fromUtf8(yes ? "Да" : "Нет")) b->click();
                    }
                    QFile f(ini);
                    settingsWrittenDuringRun = f.open(QIODevice::ReadOnly) && f.readAll() != before;
                });
            });
            QTest::keyClicks(m.Edit1, QStringLiteral("55"));
            QTest::keyClick(m.Edit1, Qt::Key_Return);
            QVERIFY(asked);
            QVERIFY(!hiddenDuringRun);
            QVERIFY(!settingsWrittenDuringRun);
            const QString log = m.Memokno->toPlainText();
            if (!yes) {
                QCOMPARE(m.StaticText1->text(), QStringLiteral("OK"));
                QVERIFY(!m.Closed());
                continue;
            }
            QCOMPARE(m.StaticText1->text(), QStringLiteral("X"));
            QVERIFY2(log.contains(QStringLiteral("Остановлено: программа закрывается.")), qPrintable(log));
            QVERIFY(!log.contains(QStringLiteral("Защита OK")));
            QVERIFY(SpinUntil([&] { return m.Closed(); }, 5000));
            QFile f(ini);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY(f.readAll().contains("AdrLpt=888"));
        }
    }

    // The digit filter takes typed characters only: the editing keys, with the
    // key text X11 gives them, still edit the field. Backspace stays dropped.
    void editingKeysWorkInTheNumberField() {
        WorkDir wd;
        GuiProgram p(ProductionOnBlankModule(wd));
        QVERIFY(DriveStartup(p));
        TProg12& m = *p.Prog12;
        QLineEdit* e = m.Edit1;
        QTest::keyClicks(e, QStringLiteral("1234"));
        XKey(e, Qt::Key_Home, "");
        XKey(e, Qt::Key_Delete, "\x7f");
        QCOMPARE(e->text(), QStringLiteral("234"));
        XKey(e, Qt::Key_End, "");
        XKey(e, Qt::Key_Left, "");
        QTest::keyClicks(e, QStringLiteral("9"));
        QCOMPARE(e->text(), QStringLiteral("2394"));
        XKey(e, Qt::Key_Backspace, "\b");
        QCOMPARE(e->text(), QStringLiteral("2394"));
        XKey(e, Qt::Key_A, "\x01", Qt::ControlModifier);
        QCOMPARE(e->selectedText(), QStringLiteral("2394"));
        XKey(e, Qt::Key_X, "\x18", Qt::ControlModifier);
        QCOMPARE(e->text(), QString());
        QTest::keyClicks(e, QStringLiteral("7a-"));
        QCOMPARE(e->text(), QStringLiteral("7"));
    }

    // "Нет" at the start of a production run: the program never got going, and
    // its settings file stays as it was.
    void productionStartAnsweredNoWritesNoSettings() {
        WorkDir wd;
        const QString ini = IniPathHere();
        WriteBootPaths(ini);
        QByteArray before;
        {
            QFile f(ini);
            QVERIFY(f.open(QIODevice::ReadOnly));
            before = f.readAll();
        }
        GuiProgram p(BenchOptions("virtual-lpt", "4620", true));
        StartupAnswer a;
        a.yes = false;
        QVERIFY(DriveStartup(p, a));
        QVERIFY(p.Prog12->Closed());
        QFile f(ini);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }

    // A port address typed and not yet entered survives the window's buttons.
    void portAddressIsTakenAsTyped() {
        WorkDir wd;
        GuiProgram p(BenchOptions("virtual-lpt"));
        QVERIFY(DriveStartup(p));
        TForm_Param& w = *p.Form_Param;
        w.show();
        auto* edit4 = w.findChild<QLineEdit*>("Edit4");
        edit4->selectAll();
        QTest::keyClicks(edit4, "3bc");
        QTest::mouseClick(w.findChild<QToolButton*>("SpeedButton3"), Qt::LeftButton); // "Aktivation"
        QCOMPARE(edit4->text(), QStringLiteral("3bc"));
        w.findChild<QLineEdit*>("Edit3")->setText(QStringLiteral("KUPOL"));
        QTest::mouseClick(w.findChild<QToolButton*>("SpeedButton3"), Qt::LeftButton);
        QTest::mouseClick(w.findChild<QToolButton*>("SpeedButton21"), Qt::LeftButton); // "Set K"
        QCOMPARE(edit4->text(), QStringLiteral("3bc"));
        w.close();
        QCOMPARE(int(p.Prog12->ctx().portProg.AdrLpt), 0x3BC);
    }
};

QTEST_MAIN(HurriedOperatorTest)
#include "HurriedOperatorTest.moc"
