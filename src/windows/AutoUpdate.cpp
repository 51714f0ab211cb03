#include "windows/AutoUpdate.h"

#include <memory>

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include "windows/GuiProgram.h"

namespace mrk::gui {

void ArrangeAutoUpdate(GuiProgram& program, const QString& logPath) {
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
            box->buttons().first()->click();
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
    QObject::connect(main, &TProg12::startupFinished, main, [main, logPath] {
        QTimer::singleShot(0, main, [main, logPath] {
            main->SpeedButton4->click();
            QFile out(logPath);
            if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
                out.write(main->Memokno->toPlainText().toUtf8() + '\n');
            main->close();
        });
    });
}

} // namespace mrk::gui
