#include "windows/AutoUpdate.h"

#include <QFile>
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
    // once its gauge is full, as an operator would.
    auto* answer = new QTimer(main);
    answer->setInterval(50);
    QObject::connect(answer, &QTimer::timeout, main, [pred, answer] {
        if (pred->isVisible() && pred->Gauge1->value() >= pred->GaugeLimit() && pred->GaugeLimit() > 0) {
            answer->stop();
            pred->BitBtn1->click();
        }
    });
    answer->start();
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
