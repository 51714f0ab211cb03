#include "windows/GuiMain.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

#include "windows/GuiOptions.h"
#include "windows/GuiProgram.h"

namespace {

constexpr const char* kNoDisplay =
    "mrkprog-gui: программе с окнами нужен графический сеанс (X11 или Wayland), а экран недоступен. "
    "Запустите её с рабочего стола станции; без окон те же команды выполняет mrkprog.\n";

// No display to open: said in Russian instead of Qt's English abort. A platform
// named in QT_QPA_PLATFORM (offscreen, vnc...) is left to Qt.
bool NoDisplayAtAll() {
    const auto empty = [](const char* name) {
        const char* v = std::getenv(name);
        return !v || !*v;
    };
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const bool needsDisplay = !platform || !*platform || std::strncmp(platform, "xcb", 3) == 0 ||
                              std::strncmp(platform, "wayland", 7) == 0;
    return needsDisplay && empty("DISPLAY") && empty("WAYLAND_DISPLAY");
}

// A display that is named but does not answer ends in Qt's fatal message: our words follow Qt's, then the exit.
QtMessageHandler qtHandler = nullptr;
void SayNoDisplay(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (qtHandler) qtHandler(type, context, text);
    if (type == QtFatalMsg) {
        std::fputs(kNoDisplay, stderr);
        std::_Exit(1);
    }
}

int RunProgram(QCoreApplication& app, const mrk::gui::GuiStart& extras) {
    mrk::gui::GuiOptions options;
    QString error;
    if (!mrk::gui::ParseGuiOptions(QCoreApplication::arguments(), options, &error, extras.options)) {
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
    if (extras.arrange) extras.arrange(program);
    program.Prog12->show();
    const int rc = app.exec();
    // An unattended run (the tools' drivers) ends with what its command came to.
    return rc != 0 ? rc : program.UnattendedExitCode;
}

} // namespace

namespace mrk::gui {

int GuiMain(int argc, char** argv, const char* version, const GuiStart& extras) {
    // A file-size limit is met as a full disk is (a write error the journal handles),
    // never as a signal that ends the program in the middle of a module.
    std::signal(SIGXFSZ, SIG_IGN);
    // --help and --version print and end: no window system, so no display needed.
    const bool textOnly = mrk::gui::AsksForTextOnly(argc, argv);
    if (!textOnly && NoDisplayAtAll()) {
        std::fputs(kNoDisplay, stderr);
        return 1;
    }
    qtHandler = qInstallMessageHandler(SayNoDisplay);
    std::unique_ptr<QCoreApplication> app =
        textOnly ? std::make_unique<QCoreApplication>(argc, argv) : std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(qtHandler);
    QCoreApplication::setApplicationName(QStringLiteral("mrkprog-gui"));
    QCoreApplication::setApplicationVersion(QString::fromUtf8(version));
    // Whatever escapes the program ends it with a message and a failure exit, never silently.
    try {
        return RunProgram(*app, extras);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mrkprog-gui: внутренняя ошибка: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "mrkprog-gui: внутренняя ошибка неизвестного рода\n");
    }
    return 70;
}

} // namespace mrk::gui
