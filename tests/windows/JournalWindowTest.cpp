// The journal window on the main window, after a cycle on the virtual bench.
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "GuiFixture.h"
#include "journal/ProductionJournal.h"
#include "windows/JournalWindow.h"
#include "windows/TProg12.h"

using namespace mrk::gui;
using namespace mrk::gui::test;

namespace {

QString CellText(QTableWidget* t, int row, int col) {
    QTableWidgetItem* item = t->item(row, col);
    return item ? item->text() : QString();
}

} // namespace

class JournalWindowTest : public QObject {
    Q_OBJECT
private slots:
    void cycleShowsInTheJournalWindowNewestFirst() {
        WorkDir wd;
        GuiProgram p(ProductionOnBlankModule(wd));
        QVERIFY(DriveStartup(p));
        TProg12& m = *p.Prog12;
        QVERIFY(m.JournalButton->isVisibleTo(&m));
        QCOMPARE(m.JournalButton->text(), QStringLiteral("Журнал"));
        // While the cycle runs, the journal waits as the parameters window does.
        bool sawCycleRun = false, enabledDuringCycle = false;
        QTimer poll;
        poll.setInterval(0);
        connect(&poll, &QTimer::timeout, [&] {
            if (m.Param->isEnabled()) return;
            sawCycleRun = true;
            enabledDuringCycle = enabledDuringCycle || m.JournalButton->isEnabled();
        });
        poll.start();
        for (const char* number : {"1234", "1235"}) {
            QTest::keyClicks(m.Edit1, QString::fromLatin1(number));
            QTest::keyClick(m.Edit1, Qt::Key_Return);
            QCOMPARE(m.StaticText1->text(), QStringLiteral("OK"));
        }
        poll.stop();
        QVERIFY(sawCycleRun);
        QVERIFY(!enabledDuringCycle);
        QVERIFY(m.JournalButton->isEnabled());

        struct Seen {
            bool opened = false;
            QString title, status;
            int rows = -1, rowsAfterReload = -1;
            QStringList first, second;
        } seen;
        QTimer::singleShot(0, [&] {
            auto* w = qobject_cast<JournalWindow*>(QApplication::activeModalWidget());
            if (!w) return;
            seen.opened = true;
            seen.title = w->windowTitle();
            seen.status = w->Status->text();
            seen.rows = w->Table->rowCount();
            for (int col = 0; col < w->Table->columnCount(); ++col) {
                seen.first << CellText(w->Table, 0, col);
                seen.second << CellText(w->Table, 1, col);
            }
            w->Reload->click();
            seen.rowsAfterReload = w->Table->rowCount();
            w->Close->click();
        });
        m.JournalButton->click();
        QVERIFY(seen.opened);
        QCOMPARE(seen.title, QStringLiteral("Журнал производства"));
        QCOMPARE(seen.rows, 2);
        QCOMPARE(seen.rowsAfterReload, 2);
        // Newest first: the second cycle's number on top, each with its result.
        QCOMPARE(seen.first.value(1), QStringLiteral("1235"));
        QCOMPARE(seen.second.value(1), QStringLiteral("1234"));
        QCOMPARE(seen.first.value(5), QStringLiteral("OK"));
        QCOMPARE(seen.second.value(5), QStringLiteral("OK"));
        QCOMPARE(seen.first.value(3), QStringLiteral("PIC18F4620"));
        QVERIFY2(seen.first.value(2).size() == 8 && seen.first.value(2) != QStringLiteral("-"),
                 qPrintable(seen.first.join(QLatin1Char('|'))));
        // Each record by its identity, the same on the station and on the server.
        QCOMPARE(seen.first.value(6).size(), 12);
        QVERIFY(seen.first.value(6) != seen.second.value(6));
        QCOMPARE(seen.first.value(7), QStringLiteral("цикл"));
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    void updateOnlyStartHasNoJournalButton() {
        WorkDir wd;
        GuiProgram p(BenchOptions("virtual-lpt"));
        QVERIFY(DriveStartup(p));
        QVERIFY(!p.Prog12->JournalButton->isVisibleTo(p.Prog12.get()));
    }

    void unreadableJournalIsSaidInTheWindow_data() {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("said");
        QTest::newRow("not a database") << true << QStringLiteral("не читается");
        QTest::newRow("switched off") << false << QStringLiteral("Enabled=0");
    }
    void unreadableJournalIsSaidInTheWindow() {
        QFETCH(bool, enabled);
        QFETCH(QString, said);
        WorkDir wd;
        const QString file = wd.Path(QStringLiteral("journal.db"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
        f.close();
        mrk::journal::JournalSettings s;
        s.enabled = enabled;
        s.station = "A";
        s.file = file.toStdString();
        mrk::journal::ProductionJournal journal(s);
        JournalWindow w(journal);
        QCOMPARE(w.Table->rowCount(), 0);
        QVERIFY2(w.Status->text().contains(said), qPrintable(w.Status->text()));
        w.Reload->click();
        QVERIFY2(w.Status->text().contains(said), qPrintable(w.Status->text()));
        // Nothing of the file was touched.
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray(4096, 'x'));
    }
};

QTEST_MAIN(JournalWindowTest)
#include "JournalWindowTest.moc"
