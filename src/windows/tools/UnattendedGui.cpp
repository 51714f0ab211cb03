// mrkprog-gui-unattended: the window program with drivers that play the operator,
// for the tests under a real X server and for demonstrations. It is built
// beside mrkprog-gui and never installed: the shipped program has no hand of its own.
#include <QCommandLineParser>

#include "windows/GuiMain.h"
#include "windows/tools/AutoUpdate.h"

int main(int argc, char** argv) {
    using namespace mrk::gui;
    QString updateLog, cycleLog, number;
    GuiStart start;
    start.options.declare = [](QCommandLineParser& p) {
        p.addOptions({
            QCommandLineOption(
                QStringLiteral("auto-update"),
                QStringLiteral("Unattended: answer \"Да\", press the update button, write the log to FILE, close."),
                QStringLiteral("FILE")),
            QCommandLineOption(QStringLiteral("auto-cycle"),
                               QStringLiteral("Unattended, with --production: answer \"Да\", type the number and Enter, "
                                              "write the log to FILE, close."),
                               QStringLiteral("FILE")),
            QCommandLineOption(QStringLiteral("auto-number"),
                               QStringLiteral("The factory number --auto-cycle types (1234)."), QStringLiteral("N"),
                               QStringLiteral("1234")),
        });
    };
    start.options.take = [&](const QCommandLineParser& p, const GuiOptions& opt, QString* error) {
        updateLog = p.value(QStringLiteral("auto-update"));
        cycleLog = p.value(QStringLiteral("auto-cycle"));
        number = p.value(QStringLiteral("auto-number"));
        if (!cycleLog.isEmpty() && !opt.production) {
            if (error) *error = QStringLiteral("--auto-cycle запускает производственный цикл: нужен --production");
            return false;
        }
        return true;
    };
    start.arrange = [&](GuiProgram& program) {
        if (!updateLog.isEmpty()) ArrangeAutoUpdate(program, updateLog);
        else if (!cycleLog.isEmpty()) ArrangeAutoCycle(program, number, cycleLog);
    };
    return GuiMain(argc, argv, MRK_VERSION, start);
}
