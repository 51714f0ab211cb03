#pragma once
// Drives the start-up of a GuiProgram without an operator: shows the main
// window, answers the confirmation ("Да" or "Нет") once it is up, and waits until
// the start-up sequence has finished. Used by the tests and the screenshot tool.
#include <functional>

#include <QCoreApplication>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include "windows/GuiProgram.h"

namespace mrk::gui {

struct StartupAnswer {
    bool yes = true;
    bool waitForFullGauge = false;                 // answer only once the gauge is full
    std::function<void(TForm_Pred&)> beforeAnswer; // e.g. take a picture of it
    // Message boxes during the start-up are answered with their first button;
    // their texts are gathered here when given.
    QStringList* boxes = nullptr;
};

// Spins the event loop until done() or the time is up; true when done.
inline bool SpinUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

// True when the start-up sequence ran to its end (or the program closed after "Нет").
inline bool DriveStartup(GuiProgram& p, const StartupAnswer& answer = {}) {
    TForm_Pred* pred = p.Form_Pred;
    bool answered = false;
    QObject guard;
    auto* poll = new QTimer(&guard);
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, &guard, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            box && !box->buttons().isEmpty()) {
            if (answer.boxes) answer.boxes->append(box->text());
            box->buttons().first()->click();
            return;
        }
        if (answered || !pred->isVisible()) return;
        if (answer.waitForFullGauge && pred->Gauge1->value() < pred->Gauge1->maximum()) return;
        answered = true;
        if (answer.beforeAnswer) answer.beforeAnswer(*pred);
        // Clicked from a fresh event: this timer must stay free to answer the
        // message boxes the click may bring up.
        QPushButton* button = answer.yes ? pred->BitBtn1 : pred->BitBtn2;
        QTimer::singleShot(0, button, &QPushButton::click);
    });
    poll->start();
    p.Prog12->show();
    return SpinUntil([&] { return p.Prog12->StartupDone(); });
}

} // namespace mrk::gui
