// mrkprog-gui: the program the operator sees.
#include <cstdio>
#include <exception>
#include <memory>

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

#include "windows/AutoUpdate.h"
#include "windows/GuiOptions.h"
#include "windows/GuiProgram.h"

namespace {

int RunProgram(QCoreApplication& app) {
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
    // Qt's own dialogs (the file dialogs, standard buttons) speak the program's language.
    QTranslator qtRussian;
    if (qtRussian.load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtRussian);
    mrk::gui::GuiProgram program(options);
    // A station that cannot start (a module file it refuses) says why and touches nothing.
    if (const mrk::StationStatus& start = program.Prog12->StationStart(); !start.Ok()) {
        std::fprintf(stderr, "mrkprog-gui: %s\n", start.message.c_str());
        QMessageBox::critical(nullptr, QApplication::applicationName(), QString::fromStdString(start.message));
        return start.exitCode;
    }
    if (!options.autoUpdateLog.isEmpty()) mrk::gui::ArrangeAutoUpdate(program, options.autoUpdateLog);
    else if (!options.autoCycleLog.isEmpty())
        mrk::gui::ArrangeAutoCycle(program, options.autoNumber, options.autoCycleLog);
    program.Prog12->show();
    const int rc = app.exec();
    return rc != 0 ? rc : program.UnattendedExitCode;
}

} // namespace

int main(int argc, char** argv) {
    // --help and --version print and end: no window system, so no display needed.
    std::unique_ptr<QCoreApplication> app = mrk::gui::AsksForTextOnly(argc, argv)
        ? std::make_unique<QCoreApplication>(argc, argv)
        : std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("mrkprog-gui"));
    QCoreApplication::setApplicationVersion(QStringLiteral(MRK_VERSION));
    // Whatever escapes the program ends it with a message and a failure exit, never silently.
    try {
        return RunProgram(*app);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mrkprog-gui: внутренняя ошибка: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "mrkprog-gui: внутренняя ошибка неизвестного рода\n");
    }
    return 70;
}
