// Pictures for the operator's guide: each state an operator meets, on the
// virtual bench. Update-only mode: ready, during the update, a module without
// its boot loader, no programmer at all. Production mode: ready for a number,
// during a cycle, a cycle that lost its programmer, a number already used.
#include "windows/tools/GuideScreenshots.h"

#include <cstdio>
#include <functional>

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>

#include "sim/Bench.h"
#include "windows/GuiProgram.h"
#include "windows/tools/DriveStartup.h"

namespace mrk::gui {

namespace {

// Calls shoot() once, the first time the log's last line holds `line` (empty:
// any line) while the gauge is past half its way: the window as the operator
// sees it in the middle of a command.
class MidwayShot {
public:
    MidwayShot(TProg12& m, QString line, std::function<void()> shoot)
        : m_(m), line_(std::move(line)), shoot_(std::move(shoot)) {
        QObject::connect(m.Gauge1, &QProgressBar::valueChanged, &guard_, [this](int) { Check(); });
    }
    bool Taken() const { return taken_; }

private:
    void Check() {
        if (taken_ || m_.Gauge1->maximum() < 100 || m_.Gauge1->value() < m_.Gauge1->maximum() / 2) return;
        if (!line_.isEmpty() && !m_.Memokno->toPlainText().contains(line_)) return;
        taken_ = true;
        shoot_();
    }
    TProg12& m_;
    QString line_;
    std::function<void()> shoot_;
    QObject guard_;
    bool taken_ = false;
};

// Accepts the next message box with its first button (a notice that follows an answer).
void AcceptNextBox() {
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        poll->stop();
        poll->deleteLater();
        box->buttons().first()->click();
    });
    poll->start();
}

// Answers the next message box with the button captioned `answer`, after its
// picture; then, with thenAcceptOne, the notice that follows it.
void AnswerNextBox(const QDir& out, const char* picture, const QString& answer, bool& ok, bool thenAcceptOne = false) {
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [=, &ok] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        poll->stop();
        poll->deleteLater();
        ok = SaveScreenshot(*box, out, picture) && ok;
        if (thenAcceptOne) AcceptNextBox();
        for (QAbstractButton* b : box->buttons())
            if (b->text().remove(QLatin1Char('&')) == answer) return b->click();
        box->buttons().first()->click();
    });
    poll->start();
}

void FreshJournal() {
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(QStringLiteral("mrkprog-journal.db") + QLatin1String(suffix));
}

void EnterNumber(TProg12& m, const QString& number) {
    QTest::keyClicks(m.Edit1, number);
    QTest::keyClick(m.Edit1, Qt::Key_Return);
}

} // namespace

bool SaveScreenshot(QWidget& w, const QDir& dir, const char* name) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    if (!w.grab().save(path)) {
        std::fprintf(stderr, "mrkprog-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

bool TakeGuideScreenshots(const QDir& out) {
    bool ok = true;
    {
        // Update-only mode on the bench's Kordel, a module fresh from the factory.
        GuiOptions opt;
        opt.bench = QStringLiteral("virtual-lpt");
        GuiProgram p(opt);
        ok = DriveStartup(p) && ok;
        TProg12& m = *p.Prog12;
        ok = SaveScreenshot(m, out, "guide-update-ready.png") && ok;
        MidwayShot midway(m, QString(), [&] { ok = SaveScreenshot(m, out, "guide-update-running.png") && ok; });
        m.SpeedButton4->click();
        ok = midway.Taken() && ok;
        m.close();
    }
    {
        // A module whose boot loader is missing: a blank chip in update-only mode.
        GuiOptions opt;
        opt.bench = QStringLiteral("virtual-lpt");
        opt.module = out.filePath(QStringLiteral("guide-blank-module.hex"));
        QFile::remove(opt.module);
        GuiProgram p(opt);
        ok = DriveStartup(p) && ok;
        p.Prog12->SpeedButton4->click();
        ok = SaveScreenshot(*p.Prog12, out, "guide-update-failed.png") && ok;
        p.Prog12->close();
        QFile::remove(opt.module);
    }
    {
        // Neither programmer plugged in.
        GuiOptions opt;
        opt.bench = QStringLiteral("virtual-usb");
        GuiProgram p(opt);
        p.Prog12->bench()->Kordel().SetFault(sim::KordelFault::Absent);
        for (sim::VirtualFtdi* surtan : p.Prog12->bench()->Surtans()) surtan->SetFault(sim::FtdiFault::Absent);
        ok = DriveStartup(p) && ok;
        ok = SaveScreenshot(*p.Prog12, out, "guide-no-programmer.png") && ok;
        p.Prog12->close();
    }
    {
        // Production mode: a blank module, its number typed, the cycle, then
        // the same number for the next module.
        FreshJournal();
        GuiOptions opt;
        opt.bench = QStringLiteral("virtual-lpt");
        opt.production = true;
        opt.module = out.filePath(QStringLiteral("guide-module.hex"));
        QFile::remove(opt.module);
        GuiProgram p(opt);
        ok = DriveStartup(p) && ok;
        TProg12& m = *p.Prog12;
        QTest::keyClicks(m.Edit1, QStringLiteral("1235"));
        ok = SaveScreenshot(m, out, "guide-production-ready.png") && ok;
        MidwayShot midway(m, QStringLiteral("Прогр. OK"),
                          [&] { ok = SaveScreenshot(m, out, "guide-production-running.png") && ok; });
        QTest::keyClick(m.Edit1, Qt::Key_Return);
        ok = midway.Taken() && ok;
        // The next module with the number already given: the journal asks.
        // "Нет" refuses the cycle, and the journal's notice says why.
        AnswerNextBox(out, "guide-number-taken.png", QStringLiteral("Нет"), ok, true);
        EnterNumber(m, QStringLiteral("1235"));
        // A module whose programmer falls off while its boot loader is written.
        MidwayShot unplug(m, QStringLiteral("Конфигурация OK"),
                          [&] { m.bench()->Kordel().SetFault(sim::KordelFault::Absent); });
        EnterNumber(m, QStringLiteral("1236"));
        ok = unplug.Taken() && SaveScreenshot(m, out, "guide-production-failed.png") && ok;
        m.close();
        QFile::remove(opt.module);
    }
    {
        // The line hands out the numbers ([Journal] Numbers=): the next free one in the
        // field and large above it, ready to be written on the module's label.
        GuiOptions opt;
        opt.bench = QStringLiteral("virtual-usb");
        opt.production = true;
        opt.settings = out.filePath(QStringLiteral("guide-line-number.ini"));
        // The bench's own journal goes beside the settings file: made here, removed after.
        QDir benchJournal(out.filePath(QStringLiteral("bench")));
        const bool journalWasThere = benchJournal.exists();
        QFile ini(opt.settings);
        if (ini.open(QIODevice::WriteOnly | QIODevice::Truncate))
            ini.write("[Journal]\nStation=Линия-1-ПК2\nNumbers=1000-1999\n");
        ini.close();
        GuiProgram p(opt);
        ok = DriveStartup(p) && ok;
        ok = SaveScreenshot(*p.Prog12, out, "guide-line-number.png") && ok;
        p.Prog12->close();
        QFile::remove(opt.settings);
        if (!journalWasThere) benchJournal.removeRecursively();
    }
    return ok;
}

} // namespace mrk::gui
