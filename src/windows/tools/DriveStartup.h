#pragma once
// Drives the start-up of a GuiProgram without an operator: shows the main
// window, answers the confirmation ("Да" or "Нет") once it is up, and waits until
// the start-up sequence has finished. Used by the tests and the screenshot tool.
#include <functional>

#include <QCoreApplication>
#include <QElapsedTimer>
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
        if (answered || !pred->isVisible()) return;
        if (answer.waitForFullGauge && pred->Gauge1->value() < pred->Gauge1->maximum()) return;
        answered = true;
        if (answer.beforeAnswer) answer.beforeAnswer(*pred);
        (answer.yes ? pred->BitBtn1 : pred->BitBtn2)->click();
    });
    poll->start();
    p.Prog12->show();
    return SpinUntil([&] { return p.Prog12->StartupDone(); });
}

} // namespace mrk::gui
