// mrkprog-gui: the program the operator sees.
#include <cstdio>
#include <memory>

#include <QApplication>

#include "windows/AutoUpdate.h"
#include "windows/GuiOptions.h"
#include "windows/GuiProgram.h"

int main(int argc, char** argv) {
    // --help and --version print and end: no window system, so no display needed.
    std::unique_ptr<QCoreApplication> app = mrk::gui::AsksForTextOnly(argc, argv)
        ? std::make_unique<QCoreApplication>(argc, argv)
        : std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("mrkprog-gui"));
    QCoreApplication::setApplicationVersion(QStringLiteral(MRK_VERSION));

    mrk::gui::GuiOptions options;
    QString error;
    if (!mrk::gui::ParseGuiOptions(QCoreApplication::arguments(), options, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    if (!options.textOnly.isEmpty()) {
        std::fputs(qPrintable(options.textOnly), stdout);
        return 0;
    }
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pictures/mrkprog-gui.png")));
    mrk::gui::GuiProgram program(options);
    if (!options.autoUpdateLog.isEmpty()) mrk::gui::ArrangeAutoUpdate(program, options.autoUpdateLog);
    program.Prog12->show();
    return app->exec();
}
