#include "windows/GuiOptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <cstring>

#include "app/OptionValuesHelp.h"
#include "app/StartOptions.h"

namespace mrk::gui {

namespace {

QString Name(const StartOptionEntry& e) { return QString::fromLatin1(e.name); }

} // namespace

void DeclareGuiOptions(QCommandLineParser& p) {
    p.setApplicationDescription(QStringLiteral("Firmware update and in-circuit programming of the МРК module"));
    p.addHelpOption();
    // Long only: -v says more, as on the command line.
    p.addOption(QCommandLineOption(QStringLiteral("version"), QStringLiteral("Display version information.")));
    // Built from the station's table, as the command line's are; the values of
    // each listed option follow the options (OptionValuesHelp).
    for (const StartOptionEntry& e : StartOptionTable()) {
        if (!(e.frontEnds & kWindows)) continue;
        QStringList names;
        if (e.shortName) names << QString(QLatin1Char(e.shortName));
        names << Name(e);
        p.addOption(e.kind == OptionKind::Flag
                        ? QCommandLineOption(names, QString::fromUtf8(e.help))
                        : QCommandLineOption(names, QString::fromUtf8(e.help), QString::fromLatin1(e.valueName)));
    }
}

bool ParseGuiOptions(const QStringList& arguments, GuiOptions& opt, QString* error, const GuiOptionsExtra& extra) {
    QCommandLineParser p;
    DeclareGuiOptions(p);
    if (extra.declare) extra.declare(p);
    if (!p.parse(arguments)) {
        if (error) *error = p.errorText();
        return false;
    }
    if (p.isSet(QStringLiteral("help"))) {
        // The program's name rather than the path it was started by.
        const QString self = arguments.isEmpty() ? QString() : arguments.first();
        opt.textOnly = p.helpText() + QString::fromStdString(OptionValuesHelp(true));
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
    // What the options mean is the station's table's to say, as for the command line.
    GivenOptions given;
    for (const StartOptionEntry& e : StartOptionTable()) {
        if (!(e.frontEnds & kWindows) || !p.isSet(Name(e))) continue;
        if (e.kind == OptionKind::Flag) given.emplace_back(e.name, std::string());
        else
            for (const QString& v : p.values(Name(e))) given.emplace_back(e.name, v.toStdString());
    }
    StartOptions start;
    if (const StationStatus taken = StartOptionsFrom(given, start); !taken.Ok()) {
        if (error) *error = QString::fromStdString(taken.message);
        return false;
    }
    opt.bench = QString::fromStdString(start.station.bench);
    opt.chip = QString::fromStdString(start.station.chip);
    opt.module = QString::fromStdString(start.station.module);
    opt.moduleFirmware = QString::fromStdString(start.station.moduleFirmware);
    opt.faults.clear();
    for (const auto& f : start.station.faults) opt.faults << QString::fromStdString(f);
    opt.settings = QString::fromStdString(start.station.settingsPath);
    opt.programmer = QString::fromStdString(start.station.programmer);
    opt.usbDriver = QString::fromStdString(start.station.usbDriver);
    opt.lptAddress = start.station.lptAddress;
    opt.production = start.production;
    opt.verbose = start.verbose;
    if (extra.take && !extra.take(p, opt, error)) return false;
    // Whether the options fit together is the station's to say.
    if (const StationStatus check = CheckStationOptions(StationOptionsFrom(opt)); !check.Ok()) {
        if (error) *error = QString::fromStdString(check.message);
        return false;
    }
    return true;
}

bool AsksForTextOnly(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        for (const char* flag : {"-h", "--help", "-?", "--help-all", "--version"})
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
    so.settingsPath = opt.settings.toStdString();
    so.programmer = opt.programmer.toStdString();
    so.usbDriver = opt.usbDriver.toStdString();
    so.lptAddress = opt.lptAddress;
    // The settings file is named after the program file, in the current folder.
    so.programName = QCoreApplication::applicationFilePath().toStdString();
    return so;
}

} // namespace mrk::gui
