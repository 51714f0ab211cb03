// Pictures of the windows as the operator sees them, on the virtual bench:
// the confirmation at start-up, the main window in update-only mode after an
// update, in production mode after a whole cycle for one module, and with every
// service control shown, and after a cycle stopped with "СТОП"; the configuration
// editor, the parameters and the debug window.
// Usage: mrkprog-screenshots [OUTDIR]   (run with QT_QPA_PLATFORM=offscreen)
#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "windows/GuiProgram.h"
#include "windows/JournalWindow.h"
#include "windows/tools/DriveStartup.h"
#include "windows/tools/GuideScreenshots.h"

using namespace mrk::gui;

namespace {

// The settings file the program reads at start, named after the program, in the
// current folder, with the firmware files beside it as on a station: the
// pictures show their names, never a path of the machine that made them.
void WriteSettings() {
    const QDir fw(QStringLiteral(MRK_FIRMWARE_DIR));
    for (const char* name : {"update-4620.hex", "boot-4620.hex", "boot-452.hex"}) {
        QFile::remove(QString::fromLatin1(name));
        QFile::copy(fw.filePath(QString::fromLatin1(name)), QString::fromLatin1(name));
    }
    const QString ini = QDir::current().filePath(QCoreApplication::applicationName() + QStringLiteral(".ini"));
    QFile f(ini);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
    f.write("[Form_Param]\nEdit1=update-4620.hex\nEdit2=boot-4620.hex\nEdit5=boot-452.hex\n"
            "[Journal]\nStation=Линия-1-ПК2\n");
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const QDir out(QDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath()).absolutePath());
    QDir().mkpath(out.path());
    QDir::setCurrent(out.path());
    bool ok = true;

    {
        GuiOptions opt;
        opt.bench = QStringLiteral("virtual-lpt");
        GuiProgram p(opt);
        StartupAnswer a;
        a.waitForFullGauge = true;
        a.beforeAnswer = [&](TForm_Pred& pred) { ok = SaveScreenshot(pred, out, "notice.png") && ok; };
        ok = DriveStartup(p, a) && ok;
        p.Prog12->SpeedButton4->click();
        ok = SaveScreenshot(*p.Prog12, out, "main-update.png") && ok;
        // The configuration editor with CONFIG1H described, for each chip.
        TFormConfig& config = *p.FormConfig;
        config.show();
        config.findChild<QToolButton*>(QStringLiteral("SpeedButton3"))->click();
        ok = SaveScreenshot(config, out, "config-4620.png") && ok;
        p.Prog12->ctx().SetChipIndicators(false, true);
        config.findChild<QToolButton*>(QStringLiteral("SpeedButton3"))->click();
        ok = SaveScreenshot(config, out, "config-452.png") && ok;
        config.close();
        p.Form_otladka->show();
        ok = SaveScreenshot(*p.Form_otladka, out, "debug.png") && ok;
        p.Form_otladka->close();
        p.Prog12->close();
    }
    {
        WriteSettings();
        GuiOptions opt;
        opt.bench = QStringLiteral("virtual-usb");
        opt.production = true;
        opt.module = out.filePath(QStringLiteral("screenshot-module.hex"));
        QFile::remove(opt.module); // a blank module, fresh for its cycle
        // and a fresh journal, so that its factory number is not taken by an earlier run
        for (const char* suffix : {"", "-wal", "-shm"})
            QFile::remove(QStringLiteral("mrkprog-journal.db") + QLatin1String(suffix));
        GuiProgram p(opt);
        ok = DriveStartup(p) && ok;
        QTest::keyClicks(p.Prog12->Edit1, QStringLiteral("1234"));
        QTest::keyClick(p.Prog12->Edit1, Qt::Key_Return);
        ok = SaveScreenshot(*p.Prog12, out, "main-production.png") && ok;
        {
            JournalWindow journal(p.Prog12->journal(), p.Prog12.get());
            journal.show();
            ok = SaveScreenshot(journal, out, "journal.png") && ok;
        }
        // Every control the service code can bring up, as after "Aktivation 2",
        // plus the three that nothing shows: all captions must fit.
        TProg12& m = *p.Prog12;
        for (QWidget* w : std::initializer_list<QWidget*>{m.ReadChip, m.Sravn, m.SpeedButton21, m.SpeedButton3,
                                                          m.SpeedButton7, m.SpeedButton10, m.SpeedButton11,
                                                          m.SpeedButton16, m.SpeedButton1, m.SpeedButton19, m.Label2})
            w->show();
        m.SpeedButton11->click();
        ok = SaveScreenshot(m, out, "main-service.png") && ok;
        // The parameters window in service mode.
        TForm_Param& param = *p.Form_Param;
        param.show();
        QTest::keyClicks(param.findChild<QLineEdit*>(QStringLiteral("Edit3")), QStringLiteral("KUPOL"));
        param.findChild<QToolButton*>(QStringLiteral("SpeedButton3"))->click();
        ok = SaveScreenshot(param, out, "param.png") && ok;
        param.close();
        p.Prog12->close();
    }
    {
        // A cycle the operator stopped with "СТОП" once the boot loader was written.
        GuiOptions opt;
        opt.bench = QStringLiteral("virtual-usb");
        opt.production = true;
        opt.module = out.filePath(QStringLiteral("screenshot-stopped.hex"));
        QFile::remove(opt.module);
        GuiProgram p(opt);
        ok = DriveStartup(p) && ok;
        TProg12& m = *p.Prog12;
        QTimer stopper;
        stopper.setInterval(0);
        QObject::connect(&stopper, &QTimer::timeout, [&] {
            if (!m.Memokno->toPlainText().contains(QStringLiteral("Прогр. OK"))) return;
            stopper.stop();
            QTest::mouseClick(m.Avt_Prog_St, Qt::LeftButton);
        });
        stopper.start();
        QTest::keyClicks(m.Edit1, QStringLiteral("1236"));
        QTest::keyClick(m.Edit1, Qt::Key_Return);
        ok = SaveScreenshot(m, out, "main-stopped.png") && ok;
        m.close();
    }
    ok = TakeGuideScreenshots(out) && ok;
    return ok ? 0 : 1;
}
