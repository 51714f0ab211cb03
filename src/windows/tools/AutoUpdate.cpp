#include "windows/tools/AutoUpdate.h"

#include <cstdio>
#include <memory>

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include "windows/GuiProgram.h"

namespace mrk::gui {

namespace {

// False (and said on stderr) when the log did not reach its file whole.
bool WriteLog(TProg12* main, const QString& logPath, const QString& extra = {}) {
    QFile out(logPath);
    const QByteArray text = main->Memokno->toPlainText().toUtf8() + '\n' + extra.toUtf8();
    const bool written = out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(text) == text.size() &&
                         out.flush() && out.error() == QFileDevice::NoError;
    if (!written)
        std::fprintf(stderr, "mrkprog-gui: протокол не записан в %s: %s\n", qPrintable(logPath),
                     qPrintable(out.errorString()));
    return written;
}

// The exit code of an unattended run: the command's own result, the log, the close.
int UnattendedExit(TProg12* main, bool commandOk, bool logWritten) {
    if (!commandOk) std::fprintf(stderr, "mrkprog-gui: команда не выполнена (см. протокол)\n");
    const StationStatus& closed = main->CloseStatus();
    if (!closed.message.empty()) std::fprintf(stderr, "mrkprog-gui: %s\n", closed.message.c_str());
    return commandOk && logWritten && closed.Ok() ? 0 : 1;
}

// Keys as the keyboard sends them: press and release, with their text.
void Type(QWidget* w, const QString& text, int key = 0) {
    for (const QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_0 + ch.digitValue(), Qt::NoModifier, ch);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_0 + ch.digitValue(), Qt::NoModifier, ch);
        QCoreApplication::sendEvent(w, &press);
        QCoreApplication::sendEvent(w, &release);
    }
    if (key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QStringLiteral("\r"));
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QStringLiteral("\r"));
        QCoreApplication::sendEvent(w, &press);
        QCoreApplication::sendEvent(w, &release);
    }
}

} // namespace

void AnswerUnattended(GuiProgram& program) {
    TProg12* main = program.Prog12.get();
    TForm_Pred* pred = program.Form_Pred;
    // The confirmation runs its own modal loop: watch for it and answer "Да"
    // once its gauge is full, as an operator would. Message boxes on the way get
    // their first button, so that the run never waits for a hand.
    auto* watch = new QTimer(main);
    watch->setInterval(50);
    auto answered = std::make_shared<bool>(false);
    QObject::connect(watch, &QTimer::timeout, main, [pred, answered] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            box && !box->buttons().isEmpty()) {
            (box->defaultButton() ? box->defaultButton() : box->buttons().first())->click();
            return;
        }
        if (!*answered && pred->isVisible() && pred->GaugeLimit() > 0 &&
            pred->Gauge1->value() >= pred->GaugeLimit()) {
            *answered = true;
            // From a fresh event, so that this watch stays free for message boxes.
            QTimer::singleShot(0, pred->BitBtn1, &QPushButton::click);
        }
    });
    watch->start();
}

void ArrangeAutoUpdate(GuiProgram& program, const QString& logPath) {
    AnswerUnattended(program);
    TProg12* main = program.Prog12.get();
    QObject::connect(main, &TProg12::startupFinished, main, [&program, main, logPath] {
        QTimer::singleShot(0, main, [&program, main, logPath] {
            main->SpeedButton4->click();
            const bool logged = WriteLog(main, logPath);
            main->close();
            program.UnattendedExitCode = UnattendedExit(main, main->LastUpdate() && main->LastUpdate()->Ok(), logged);
        });
    });
}

void ArrangeAutoCycle(GuiProgram& program, const QString& number, const QString& logPath) {
    AnswerUnattended(program);
    TProg12* main = program.Prog12.get();
    // A hurried operator: once the module is protected, the next module's
    // number is typed and Enter pressed twice while the cycle still runs.
    auto* hurry = new QTimer(main);
    hurry->setInterval(0);
    QObject::connect(hurry, &QTimer::timeout, main, [main, hurry, number] {
        if (!main->Memokno->toPlainText().contains(QStringLiteral("Защита OK"))) return;
        hurry->stop();
        Type(main->Edit1, QString::number(number.toInt() + 1), Qt::Key_Return);
        Type(main->Edit1, QString(), Qt::Key_Return);
    });
    QObject::connect(main, &TProg12::startupFinished, main, [&program, main, hurry, number, logPath] {
        QTimer::singleShot(0, main, [&program, main, hurry, number, logPath] {
            main->Edit1->setFocus();
            hurry->start();
            Type(main->Edit1, number, Qt::Key_Return);
            hurry->stop();
            const bool logged =
                WriteLog(main, logPath, QStringLiteral("Индикатор: %1\n").arg(main->StaticText1->text()));
            main->close();
            program.UnattendedExitCode =
                UnattendedExit(main, main->LastCycle() == CycleResult::Passed, logged);
        });
    });
}

} // namespace mrk::gui
