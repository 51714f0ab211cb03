// The journal window on the main window, after a cycle on the virtual bench.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QtCharts/QBarCategoryAxis>
#include <QtCharts/QBarSet>
#include <QtCharts/QAbstractBarSeries>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QTimer>

#include <functional>
#include <numeric>

#include "GuiFixture.h"
#include "journal/CsvExport.h"
#include "journal/HtmlReport.h"
#include "journal/ProductionJournal.h"
#include "windows/JournalCharts.h"
#include "windows/JournalWindow.h"
#include "windows/TProg12.h"

using namespace mrk::gui;
using namespace mrk::gui::test;

namespace {

QString CellText(QTableWidget* t, int row, int col) {
    QTableWidgetItem* item = t->item(row, col);
    return item ? item->text() : QString();
}

int Column(QTableWidget* t, const QString& header) {
    for (int c = 0; c < t->columnCount(); ++c)
        if (t->horizontalHeaderItem(c) && t->horizontalHeaderItem(c)->text() == header) return c;
    return -1;
}

QStringList ColumnTexts(QTableWidget* t, const QString& header) {
    QStringList out;
    for (int r = 0; r < t->rowCount(); ++r) out << CellText(t, r, Column(t, header));
    return out;
}

// A station's journal with runs of several kinds, days and results, and a few
// of another station that this station's window never shows.
struct FilledJournal {
    explicit FilledJournal(const QString& file) {
        s.station = "A";
        s.file = file.toStdString();
        journal = std::make_unique<mrk::journal::ProductionJournal>(s);
        std::string error;
        mrk::journal::JournalStore* store = journal->Local(error);
        if (!store) return;
        for (int i = 0; i < 30; ++i) {
            mrk::journal::JournalRecord r;
            r.uid = mrk::journal::NewUid();
            r.station = i % 10 == 9 ? "B" : "A";
            r.kind = i % 3 == 0 ? mrk::journal::RunKind::Update : mrk::journal::RunKind::Cycle;
            // Runs 0-14 in January, 15-29 in March, at noon UTC: a day is a day in any time zone near it.
            r.startedUtc = QStringLiteral("2026-%1-%2T12:00:00Z")
                               .arg(i < 15 ? QStringLiteral("01") : QStringLiteral("03"))
                               .arg(10 + i % 15)
                               .toStdString();
            r.factoryNumber = uint16_t(100 + i);
            r.chip = i % 2 ? "PIC18F4620" : "PIC18F452";
            r.programmer = "LPT 378";
            store->Open(r, false);
            if (i == 28) continue; // station A's last run never ended
            r.endedUtc = r.startedUtc;
            r.result = i % 4 == 1 ? "X" : "OK";
            store->Finish(r, 0, /*sent=*/i % 5 != 0);
        }
        ok = true;
    }
    mrk::journal::JournalSettings s;
    std::unique_ptr<mrk::journal::ProductionJournal> journal;
    bool ok = false;
};

// Answers the modal windows the click opens, in turn, each by its own hand.
void AnswerModals(std::vector<std::function<bool(QWidget*)>> hands, const std::function<void()>& click) {
    size_t next = 0;
    QTimer t;
    t.setInterval(10);
    QObject::connect(&t, &QTimer::timeout, [&] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || next >= hands.size() || qobject_cast<mrk::gui::JournalWindow*>(w)) return;
        if (hands[next](w)) ++next;
    });
    t.start();
    click();
    t.stop();
}

// The categories and the first bar set's values of the chart on show.
struct Drawn {
    QStringList categories;
    QList<qreal> values;
};
Drawn ChartOnShow(JournalCharts* c) {
    Drawn d;
    QChart* chart = c->View->chart();
    if (chart->series().isEmpty()) return d;
    auto* series = qobject_cast<QAbstractBarSeries*>(chart->series().first());
    if (!series || series->barSets().isEmpty()) return d;
    for (QAbstractAxis* axis : chart->axes())
        if (auto* cats = qobject_cast<QBarCategoryAxis*>(axis)) d.categories = cats->categories();
    for (int i = 0; i < series->barSets().first()->count(); ++i) d.values << series->barSets().first()->at(i);
    return d;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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
            for (const char* header : {"Начало", "Зав. N", "ModuleNumber", "Микросхема", "Программатор", "Серийный N",
                                       "Результат", "Запись", "Вид"}) {
                const int col = Column(w->Table, QString::fromUtf8(header));
                seen.first << (col < 0 ? QStringLiteral("no column") : CellText(w->Table, 0, col));
                seen.second << (col < 0 ? QStringLiteral("no column") : CellText(w->Table, 1, col));
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
        QCOMPARE(seen.first.value(6), QStringLiteral("OK"));
        QCOMPARE(seen.second.value(6), QStringLiteral("OK"));
        QCOMPARE(seen.first.value(5), QStringLiteral("-")); // an LPT programmer has no serial number
        QCOMPARE(seen.first.value(3), QStringLiteral("PIC18F4620"));
        QVERIFY2(seen.first.value(2).size() == 8 && seen.first.value(2) != QStringLiteral("-"),
                 qPrintable(seen.first.join(QLatin1Char('|'))));
        // Each record by its identity, the same on the station and on the server.
        QCOMPARE(seen.first.value(7).size(), 12);
        QVERIFY(seen.first.value(7) != seen.second.value(7));
        QCOMPARE(seen.first.value(8), QStringLiteral("цикл"));
        // The record the window names is the one the command line shows.
        std::string error;
        auto store = m.journal().ReadLocal(error);
        QVERIFY2(store, error.c_str());
        const auto shown = store->GetByUid(seen.first.value(7).toStdString());
        QVERIFY(shown.has_value());
        QCOMPARE(shown->factoryNumber.value_or(0), 1235);
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

    void filtersPickAndPagesTurn() {
        WorkDir wd;
        FilledJournal fj(wd.Path(QStringLiteral("journal.db")));
        QVERIFY(fj.ok);
        JournalWindow w(*fj.journal);
        // Station A's 27 runs, newest first, the first page of 50.
        QCOMPARE(w.Table->rowCount(), 27);
        QCOMPARE(CellText(w.Table, 0, Column(w.Table, QStringLiteral("Зав. N"))), QStringLiteral("128"));
        QVERIFY2(w.Status->text().contains(QStringLiteral("1–27 из 27")), qPrintable(w.Status->text()));
        QVERIFY(!w.Older->isEnabled() && !w.Newer->isEnabled());

        // Pages of 10: 10, 10, 7, and back.
        w.PageSize->setValue(10);
        QCOMPARE(w.Table->rowCount(), 10);
        QVERIFY(w.Older->isEnabled() && !w.Newer->isEnabled());
        w.Older->click();
        w.Older->click();
        QCOMPARE(w.Table->rowCount(), 7);
        QVERIFY2(w.Status->text().contains(QStringLiteral("21–27 из 27")), qPrintable(w.Status->text()));
        QCOMPARE(CellText(w.Table, 6, Column(w.Table, QStringLiteral("Зав. N"))), QStringLiteral("100"));
        QVERIFY(!w.Older->isEnabled() && w.Newer->isEnabled());
        w.Newer->click();
        QCOMPARE(CellText(w.Table, 0, Column(w.Table, QStringLiteral("Зав. N"))), QStringLiteral("117"));
        // A changed filter starts again at the newest.
        w.PageSize->setValue(50);

        struct Case {
            const char* name;
            std::function<void()> set, reset;
            int rows;
        };
        const Case cases[] = {
            {"number", [&] { w.Number->setText(QStringLiteral("104")); }, [&] { w.Number->clear(); }, 1},
            {"number of another station", [&] { w.Number->setText(QStringLiteral("109")); },
             [&] { w.Number->clear(); }, 0},
            {"X", [&] { w.Result->setCurrentIndex(w.Result->findData(QStringLiteral("X"))); },
             [&] { w.Result->setCurrentIndex(0); }, 6},
            {"unfinished", [&] { w.Result->setCurrentIndex(w.Result->findData(QStringLiteral("unfinished"))); },
             [&] { w.Result->setCurrentIndex(0); }, 1},
            {"X or unfinished", [&] { w.Result->setCurrentIndex(w.Result->findData(QStringLiteral("failed"))); },
             [&] { w.Result->setCurrentIndex(0); }, 7},
            {"update", [&] { w.Kind->setCurrentIndex(w.Kind->findData(QStringLiteral("update"))); },
             [&] { w.Kind->setCurrentIndex(0); }, 9},
            {"chip", [&] { w.Chip->setCurrentIndex(w.Chip->findData(QStringLiteral("PIC18F4620"))); },
             [&] { w.Chip->setCurrentIndex(0); }, 12},
            {"not on the server", [&] { w.Waiting->setChecked(true); }, [&] { w.Waiting->setChecked(false); }, 7},
            {"conflicts", [&] { w.Conflicts->setChecked(true); }, [&] { w.Conflicts->setChecked(false); }, 0},
            {"since March",
             [&] {
                 w.Since->setDate(QDate(2026, 3, 1));
                 w.SinceOn->setChecked(true);
             },
             [&] { w.SinceOn->setChecked(false); }, 13},
            {"until 12 January, the day whole",
             [&] {
                 w.Until->setDate(QDate(2026, 1, 12));
                 w.UntilOn->setChecked(true);
             },
             [&] { w.UntilOn->setChecked(false); }, 3},
        };
        for (const Case& c : cases) {
            c.set();
            QVERIFY2(w.Table->rowCount() == c.rows,
                     qPrintable(QStringLiteral("%1: %2 rows, %3").arg(QString::fromLatin1(c.name)).arg(w.Table->rowCount()).arg(w.Status->text())));
            c.reset();
            QCOMPARE(w.Table->rowCount(), 27);
        }
        // Filters together: X cycles in January.
        w.Result->setCurrentIndex(w.Result->findData(QStringLiteral("X")));
        w.Kind->setCurrentIndex(w.Kind->findData(QStringLiteral("cycle")));
        w.Until->setDate(QDate(2026, 1, 31));
        w.UntilOn->setChecked(true);
        QCOMPARE(ColumnTexts(w.Table, QStringLiteral("Зав. N")),
                 QStringList({QStringLiteral("113"), QStringLiteral("105"), QStringLiteral("101")}));
        QVERIFY2(w.Status->text().contains(QStringLiteral("из 3")), qPrintable(w.Status->text()));
        w.Number->setText(QStringLiteral("9999"));
        QCOMPARE(w.Table->rowCount(), 0);
        QVERIFY2(w.Status->text().contains(QStringLiteral("записей")), qPrintable(w.Status->text()));
    }

    // The charts tab draws all that the filters pick (every page), this station's
    // runs only, and follows each change of the filters.
    void chartsShowWhatTheFiltersPick() {
        WorkDir wd;
        FilledJournal filled(wd.Path(QStringLiteral("journal.db")));
        QVERIFY(filled.ok);
        JournalWindow w(*filled.journal);
        w.resize(1000, 640);
        w.show();
        w.PageSize->setValue(10);
        QCOMPARE(w.Views->tabText(1), QStringLiteral("Графики"));
        w.Views->setCurrentIndex(1);
        JournalCharts* c = w.Charts;
        QVERIFY(c->isVisible());
        // Station A: 27 runs, 6 of them X and one never ended, each module's first try.
        QCOMPARE(c->Totals->text(), QStringLiteral("Прогонов: 27, OK: 20, X: 6, не закончены: 1. "
                                                   "Выход с первого раза: 74.1 % (20 из 27)."));
        Drawn days = ChartOnShow(c);
        QCOMPARE(days.categories.size(), 27);
        QCOMPARE(days.categories.first(), QStringLiteral("10.01"));
        QCOMPARE(std::accumulate(days.values.begin(), days.values.end(), 0.0), 20.0); // the OK bars

        c->Chart->setCurrentIndex(JournalCharts::FailuresByStep);
        QCOMPARE(ChartOnShow(c).categories, QStringList{QStringLiteral("до первого шага")});
        c->Chart->setCurrentIndex(JournalCharts::ByStation);
        QCOMPARE(ChartOnShow(c).categories, QStringList{QStringLiteral("A")});

        w.Result->setCurrentIndex(2); // X
        QVERIFY(c->Totals->text().startsWith(QStringLiteral("Прогонов: 6, OK: 0, X: 6,")));
        w.SinceOn->setChecked(true);
        w.Since->setDate(QDate(2026, 3, 1));
        QVERIFY(c->Totals->text().startsWith(QStringLiteral("Прогонов: 3,")));
        w.Number->setText(QStringLiteral("999"));
        QCOMPARE(c->Totals->text(), QStringLiteral("Таких записей в журнале нет."));
        QVERIFY(c->View->chart()->series().isEmpty());

    }

    // The production guide's pictures of the charts, and the HTML report of the same
    // journal (two weeks of a station's cycles), when MRK_JOURNAL_PICTURES names a folder.
    void guidePictures() {
        const QString pictures = qEnvironmentVariable("MRK_JOURNAL_PICTURES");
        if (pictures.isEmpty()) QSKIP("MRK_JOURNAL_PICTURES not set");
        WorkDir wd;
        mrk::journal::JournalSettings s;
        s.station = "Линия-1-ПК2";
        s.file = wd.Path(QStringLiteral("journal.db")).toStdString();
        mrk::journal::ProductionJournal journal(s);
        std::string error;
        mrk::journal::JournalStore* store = journal.Local(error);
        QVERIFY(store);
        const char* failedAt[] = {"загрузчик", "обновление", "конфигурация", "загрузчик"};
        int number = 3000, k = 0;
        for (int day = 1; day <= 14; ++day) {
            if (day % 7 == 6 || day % 7 == 0) continue; // the weekend
            for (int i = 0; i < 8 + (day * 5) % 7; ++i, ++k) {
                mrk::journal::JournalRecord r;
                r.uid = mrk::journal::NewUid();
                r.station = s.station;
                r.kind = mrk::journal::RunKind::Cycle;
                r.startedUtc = QStringLiteral("2026-12-%1T%2:%3:00Z")
                                   .arg(day, 2, 10, QLatin1Char('0'))
                                   .arg(6 + i, 2, 10, QLatin1Char('0'))
                                   .arg((k * 7) % 60, 2, 10, QLatin1Char('0'))
                                   .toStdString();
                r.endedUtc = r.startedUtc;
                r.factoryNumber = uint16_t(number++);
                r.chip = "PIC18F4620";
                r.imageName = day < 8 ? "МРК v7.3" : "МРК v7.4";
                r.steps = {{0, "очистка", true}, {2, "конфигурация", true}, {3, "загрузчик", true},
                           {5, "обновление", true}};
                r.result = "OK";
                if (k % 9 == 4) {
                    r.result = "X";
                    for (auto& st : r.steps)
                        if (st.name == failedAt[(k / 9) % 4]) st.ok = false;
                    (void)store->Put(r, false);
                    // The same module again, as the operator confirms.
                    r.redoOf = r.uid;
                    r.uid = mrk::journal::NewUid();
                    r.result = "OK";
                    for (auto& st : r.steps) st.ok = true;
                }
                (void)store->Put(r, false);
            }
        }
        JournalWindow w(journal);
        w.resize(1000, 640);
        w.show();
        w.Views->setCurrentIndex(1);
        QTest::qWait(300);
        QVERIFY(w.grab().save(QDir(pictures).filePath(QStringLiteral("journal-charts.png"))));
        w.Charts->Chart->setCurrentIndex(JournalCharts::FailuresByStep);
        QTest::qWait(300);
        QVERIFY(w.grab().save(QDir(pictures).filePath(QStringLiteral("journal-charts-steps.png"))));
        // As on a station: its journal where the package keeps it.
        mrk::journal::ReportHeading h{"/var/lib/mrkprog/mrkprog-journal.db", mrk::journal::FilterText(w.Filter()),
                                      "15.12.2026 08:00:00"};
        QVERIFY(mrk::journal::WriteHtmlReport(*store, w.Filter(), QDir(pictures).filePath("journal-report.html").toStdString(), h)
                    .written);
    }

    void exportWritesWhatTheCommandLineWrites() {
        WorkDir wd;
        FilledJournal fj(wd.Path(QStringLiteral("journal.db")));
        QVERIFY(fj.ok);
        JournalWindow w(*fj.journal);
        w.PageSize->setValue(10);
        w.Chip->setCurrentIndex(w.Chip->findData(QStringLiteral("PIC18F452")));
        QCOMPARE(w.Table->rowCount(), 10); // one page of 15 shown; all 15 exported
        const QString path = wd.Path(QStringLiteral("out.csv"));
        QString said, caption;
        auto saveAs = [&](QWidget* m) {
            auto* d = qobject_cast<QFileDialog*>(m);
            if (!d) return false;
            caption = d->windowTitle();
            // Typed, as the operator does: selectFile() on a file that exists waits for the folder's
            // listing, which the dialog reads in the background.
            auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (!name) return false;
            name->setText(path);
            static_cast<QDialog*>(d)->accept(); // QFileDialog's own, through QDialog's public slot
            return true;
        };
        auto readBox = [&](QWidget* m) {
            auto* box = qobject_cast<QMessageBox*>(m);
            if (!box) return false;
            said = box->text();
            box->button(QMessageBox::Ok)->click();
            return true;
        };
        AnswerModals({saveAs, readBox}, [&] { w.Export->click(); });
        QCOMPARE(caption, QStringLiteral("Экспорт журнала в CSV"));
        QVERIFY2(said.contains(QStringLiteral("Записей в файле")) && said.contains(QStringLiteral(": 15.")),
                 qPrintable(said));
        // The same bytes the command line's export writes for the same filter.
        const QString cli = wd.Path(QStringLiteral("cli.csv"));
        {
            std::string error;
            auto store = fj.journal->ReadLocal(error);
            QVERIFY2(store, error.c_str());
            QVERIFY(mrk::journal::WriteCsvFile(*store, w.Filter(), cli.toStdString()).written);
        }
        const QByteArray written = ReadAll(path);
        QCOMPARE(written, ReadAll(cli));
        QCOMPARE(written.count("\r\n"), 16); // the header and 15 runs
        QVERIFY(written.contains("PIC18F452") && !written.contains("PIC18F4620"));

        // Over an existing file only when the user says "Да": "Нет" leaves it whole.
        w.Chip->setCurrentIndex(0);
        bool asked = false;
        auto answer = [&](bool yes) {
            return [&, yes](QWidget* m) {
                auto* box = qobject_cast<QMessageBox*>(m);
                if (!box || !box->text().contains(QStringLiteral("уже есть"))) return false;
                asked = true;
                for (QAbstractButton* b : box->buttons())
                    if (b->text() == (yes ? QStringLiteral("Да") : QStringLiteral("Нет"))) b->click();
                return true;
            };
        };
        AnswerModals({saveAs, answer(false)}, [&] { w.Export->click(); });
        QVERIFY(asked);
        QCOMPARE(ReadAll(path), written);
        said.clear();
        AnswerModals({saveAs, answer(true), readBox}, [&] { w.Export->click(); });
        QVERIFY2(said.contains(QStringLiteral(": 27.")), qPrintable(said));
        QCOMPARE(ReadAll(path).count("\r\n"), 28);
    }
};

QTEST_MAIN(JournalWindowTest)
#include "JournalWindowTest.moc"
