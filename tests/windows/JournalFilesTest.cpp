// The journal's files are opened by the journal alone. Closing any descriptor of a
// file drops every POSIX lock this process holds on it, which SQLite relies on; a
// reader that then finds the shared memory unclaimed rebuilds it under the writer,
// and the window program dies of SIGBUS in the middle of a cycle. The windows' file
// dialogs list their folders (and watch them change) without opening what is in them.
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QFileDialog>
#include <QTest>

#include <set>
#include <sstream>

#include "GuiFixture.h"
#include "journal/CsvExport.h"
#include "journal/JournalStore.h"
#include "journal/SqliteConnection.h"

using namespace mrk::gui;
using namespace mrk::gui::test;
using namespace mrk::journal;

namespace {

JournalRecord Run(uint16_t number) {
    JournalRecord r;
    r.kind = RunKind::Cycle;
    r.uid = NewUid();
    r.station = "ST";
    r.startedUtc = UtcNow();
    r.factoryNumber = number;
    return r;
}

// One run written as a cycle writes it: opened, two steps, finished.
void WriteRun(JournalStore& store, uint16_t number) {
    JournalRecord r = Run(number);
    (void)store.Open(r, true);
    r.steps.push_back({0, "очистка", true});
    store.AddStep(r, 0, 0);
    r.steps.push_back({3, "загрузчик", true});
    store.AddStep(r, 1, 0);
    r.result = "OK";
    r.endedUtc = UtcNow();
    store.Finish(r, 0, false);
}

// The names of files in the folder that anyone opened since the watch began.
std::set<std::string> Opened(int watch) {
    std::set<std::string> names;
    alignas(inotify_event) char buf[8192];
    for (;;) {
        const ssize_t n = read(watch, buf, sizeof buf);
        if (n <= 0) break;
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
            if (e->len > 0 && (e->mask & IN_OPEN)) names.insert(e->name);
            at += ssize_t(sizeof(inotify_event) + e->len);
        }
    }
    return names;
}

// The parameters window with its three file dialogs open on the current folder.
void ShowEveryDialogHere(TForm_Param& w) {
    w.show();
    for (int k = 1; k <= 3; ++k) {
        w.OpenDialog(k)->setDirectory(QDir::currentPath());
        w.OpenDialog(k)->show();
    }
}

void HideEveryDialog(TForm_Param& w) {
    for (int k = 1; k <= 3; ++k) w.OpenDialog(k)->hide();
    w.close();
}

// A window program started in a fresh folder, with a journal written in that
// same folder beside it (where an older station keeps it).
struct WindowBesideItsJournal {
    WorkDir wd;
    GuiProgram p{BenchOptions("virtual-lpt", "4620", true)};
    std::string file = wd.Path(QStringLiteral("mrkprog-journal.db")).toStdString();
    JournalStore writer{std::make_unique<SqliteConnection>(file)};
};

} // namespace

class JournalFilesTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    // The worst place for a journal: the very folder the parameters window's
    // dialogs browse (where an older station keeps it). Runs are written while
    // every dialog is open on that folder and another process reads and exports
    // the journal without a pause; nothing but the journal opens its files, the
    // program survives, and every run is there, finished.
    void cyclesWhileDialogsListTheFolderAndReadersRun() {
        WindowBesideItsJournal here;
        QVERIFY(DriveStartup(here.p));
        const std::string& file = here.file;
        JournalStore& writer = here.writer;
        WriteRun(writer, 1);

        TForm_Param& w = *here.p.Form_Param;
        ShowEveryDialogHere(w);

        // Readers and exports in another process, as `journal list` and `journal
        // export` run beside the window; they stop when the pipe closes.
        int stop[2];
        QVERIFY(pipe(stop) == 0);
        const pid_t reader = fork();
        if (reader == 0) {
            ::close(stop[1]);
            fcntl(stop[0], F_SETFL, fcntl(stop[0], F_GETFL) | O_NONBLOCK);
            for (;;) {
                char c;
                if (read(stop[0], &c, 1) == 0) _exit(0);
                try {
                    JournalStore r(std::make_unique<SqliteConnection>(file, SqliteConnection::Access::Read),
                                   JournalStore::Access::Read);
                    std::ostringstream csv;
                    r.Each({}, [&](const JournalRecord& rec) { WriteCsvRow(csv, rec); });
                } catch (const std::exception&) {
                    // Busy for a moment: the next look will do.
                }
            }
        }
        ::close(stop[0]);
        constexpr int kRuns = 60;
        for (uint16_t n = 2; n <= kRuns; ++n) {
            WriteRun(writer, n);
            QTest::qWait(20); // the dialogs see the folder change and look at it again
        }
        ::close(stop[1]);
        int status = 0;
        waitpid(reader, &status, 0);
        HideEveryDialog(w);

        QVERIFY(WIFEXITED(status));
        const auto all = writer.List({});
        QCOMPARE(int(all.size()), kRuns);
        for (const auto& r : all) QCOMPARE(QString::fromStdString(r.result), QStringLiteral("OK"));
        const auto check = writer.Db().Query("PRAGMA integrity_check");
        QCOMPARE(QString::fromStdString(check.at(0)[0].value_or("")), QStringLiteral("ok"));
    }

    // The dialogs alone, with the journal's files changing under them: none of
    // the journal's files is opened by anyone but the journal.
    void dialogsNeverOpenTheJournalsFiles() {
        WindowBesideItsJournal here;
        QVERIFY(DriveStartup(here.p));
        JournalStore& writer = here.writer;
        WriteRun(writer, 1);

        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        QVERIFY(watch >= 0);
        QVERIFY(inotify_add_watch(watch, QDir::currentPath().toLocal8Bit().constData(), IN_OPEN) >= 0);
        TForm_Param& w = *here.p.Form_Param;
        ShowEveryDialogHere(w);
        for (uint16_t n = 2; n <= 20; ++n) {
            WriteRun(writer, n);
            QTest::qWait(30);
        }
        QTest::qWait(300);
        HideEveryDialog(w);
        const std::set<std::string> opened = Opened(watch);
        ::close(watch);
        for (const auto& name : opened)
            QVERIFY2(name.rfind("mrkprog-journal.db", 0) != 0, ("the window opened the journal's " + name).c_str());
    }
};

QTEST_MAIN(JournalFilesTest)
#include "JournalFilesTest.moc"
