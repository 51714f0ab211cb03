// mrkprog-gui: the program the operator sees.
#include <cstdio>

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "windows/AutoUpdate.h"
#include "windows/GuiOptions.h"
#include "windows/GuiProgram.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mrkprog-gui"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pictures/mrkprog-gui.png")));
    // Qt's own dialogs (the file dialogs, standard buttons) speak the program's language.
    QTranslator qtRussian;
    if (qtRussian.load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtRussian);

    mrk::gui::GuiOptions options;
    QString error;
    if (!mrk::gui::ParseGuiOptions(QApplication::arguments(), options, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return error.startsWith(QLatin1String("Usage")) ? 0 : 2;
    }
    mrk::gui::GuiProgram program(options);
    if (!options.autoUpdateLog.isEmpty()) mrk::gui::ArrangeAutoUpdate(program, options.autoUpdateLog);
    else if (!options.autoCycleLog.isEmpty())
        mrk::gui::ArrangeAutoCycle(program, options.autoNumber, options.autoCycleLog);
    program.Prog12->show();
    return app.exec();
}
