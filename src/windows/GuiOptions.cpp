#include "windows/GuiOptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <cstring>

#include "app/OptionValuesHelp.h"
#include "app/ProgrammerTable.h"

namespace mrk::gui {

bool ParseGuiOptions(const QStringList& arguments, GuiOptions& opt, QString* error) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Firmware update and in-circuit programming of the МРК module"));
    p.addHelpOption();
    p.addVersionOption();
    // The values of each listed option follow the options (OptionValuesHelp).
    const QCommandLineOption bench(QStringLiteral("bench"), QStringLiteral("Run on the virtual bench (Benches below)."),
                                   QStringLiteral("kind"));
    const QCommandLineOption chip(QStringLiteral("chip"),
                                  QStringLiteral("The module on the virtual bench: 4620, 452 or none."),
                                  QStringLiteral("chip"), QStringLiteral("4620"));
    const QCommandLineOption module(QStringLiteral("module"),
                                    QStringLiteral("Keep the virtual module's memory in FILE.hex."),
                                    QStringLiteral("FILE.hex"));
    const QCommandLineOption production(QStringLiteral("production"),
                                        QStringLiteral("Start in production mode: boot loader, erase, configuration and the automatic cycle."));
    const QCommandLineOption autoUpdate(
        QStringLiteral("auto-update"),
        QStringLiteral("Unattended: answer \"Да\", press the update button, write the log to FILE, close."),
        QStringLiteral("FILE"));
    const QCommandLineOption autoCycle(
        QStringLiteral("auto-cycle"),
        QStringLiteral("Unattended, with --production: answer \"Да\", type the number and Enter, write the log to FILE, "
                       "close."),
        QStringLiteral("FILE"));
    const QCommandLineOption autoNumber(QStringLiteral("auto-number"),
                                        QStringLiteral("The factory number --auto-cycle types (1234)."),
                                        QStringLiteral("N"), QStringLiteral("1234"));
    const QCommandLineOption firmware(
        QStringLiteral("module-firmware"),
        QStringLiteral("What the virtual module runs; gpsim without --bench uses virtual-lpt (Module firmware below)."),
        QStringLiteral("kind"), QStringLiteral("model"));
    const QCommandLineOption fault(QStringLiteral("fault"),
                                   QStringLiteral("A fault mode of the virtual bench, NAME or NAME=N, repeatable (Fault modes below)."),
                                   QStringLiteral("MODE"));
    p.addOptions({bench, chip, module, production, autoUpdate, autoCycle, autoNumber, firmware, fault});
    if (!p.parse(arguments)) {
        if (error) *error = p.errorText();
        return false;
    }
    if (p.isSet(QStringLiteral("help"))) {
        // The program's name rather than the path it was started by.
        const QString self = arguments.isEmpty() ? QString() : arguments.first();
        opt.textOnly = p.helpText() + QString::fromStdString(OptionValuesHelp(false));
        if (!self.isEmpty()) opt.textOnly.replace(self, QFileInfo(self).fileName());
        return true;
    }
    if (p.isSet(QStringLiteral("version"))) {
        opt.textOnly = QCoreApplication::applicationName() + QLatin1Char(' ') +
                       QCoreApplication::applicationVersion() + QLatin1Char('\n');
        return true;
    }
    if (!p.positionalArguments().isEmpty()) {
        if (error) *error = QStringLiteral("лишний аргумент: ") + p.positionalArguments().first();
        return false;
    }
    opt.bench = p.value(bench);
    opt.chip = p.value(chip);
    opt.module = p.value(module);
    opt.production = p.isSet(production);
    opt.autoUpdateLog = p.value(autoUpdate);
    opt.autoCycleLog = p.value(autoCycle);
    opt.autoNumber = p.value(autoNumber);
    if (!opt.autoCycleLog.isEmpty() && !opt.production) {
        if (error) *error = QStringLiteral("--auto-cycle запускает производственный цикл: нужен --production");
        return false;
    }
    opt.moduleFirmware = p.value(firmware);
    opt.faults = p.values(fault);
    // Whether the options fit together is the station's to say.
    if (const StationStatus check = CheckStationOptions(StationOptionsFrom(opt)); !check.Ok()) {
        if (error) *error = QString::fromStdString(check.message);
        return false;
    }
    return true;
}

bool AsksForTextOnly(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        for (const char* flag : {"-h", "--help", "-?", "--help-all", "-v", "--version"})
            if (std::strcmp(argv[i], flag) == 0) return true;
    }
    return false;
}

StationOptions StationOptionsFrom(const GuiOptions& opt) {
    StationOptions so;
    so.bench = opt.bench.toStdString();
    so.chip = opt.chip.toStdString();
    so.module = opt.module.toStdString();
    so.moduleFirmware = opt.moduleFirmware.toStdString();
    for (const QString& f : opt.faults) so.faults.push_back(f.toStdString());
    // The settings file is named after the program file, in the current folder.
    so.programName = QCoreApplication::applicationFilePath().toStdString();
    return so;
}

} // namespace mrk::gui
