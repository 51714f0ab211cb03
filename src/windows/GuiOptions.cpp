#include "windows/GuiOptions.h"

#include <QCommandLineParser>

namespace mrk::gui {

bool ParseGuiOptions(const QStringList& arguments, GuiOptions& opt, QString* error) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Firmware update and in-circuit programming of the МРК module"));
    p.addHelpOption();
    const QCommandLineOption bench(QStringLiteral("bench"),
                                   QStringLiteral("Run on the virtual bench: virtual-lpt or virtual-usb."),
                                   QStringLiteral("kind"));
    const QCommandLineOption chip(QStringLiteral("chip"),
                                  QStringLiteral("The module on the virtual bench: 4620, 452 or none."),
                                  QStringLiteral("chip"), QStringLiteral("4620"));
    const QCommandLineOption module(QStringLiteral("module"),
                                    QStringLiteral("Keep the virtual module's memory in FILE.hex."),
                                    QStringLiteral("FILE.hex"));
    const QCommandLineOption production(QStringLiteral("production"),
                                        QStringLiteral("Start in production mode (Obnovl clear)."));
    const QCommandLineOption autoUpdate(
        QStringLiteral("auto-update"),
        QStringLiteral("Unattended: answer \"Да\", press the update button, write the log to FILE, close."),
        QStringLiteral("FILE"));
    const QCommandLineOption firmware(
        QStringLiteral("module-firmware"),
        QStringLiteral("What the virtual module runs: model (the bench's boot-loader model) or gpsim (its "
                       "flash, executed); gpsim without --bench uses virtual-lpt."),
        QStringLiteral("kind"), QStringLiteral("model"));
    p.addOptions({bench, chip, module, production, autoUpdate, firmware});
    if (!p.parse(arguments)) {
        if (error) *error = p.errorText();
        return false;
    }
    if (p.isSet(QStringLiteral("help"))) {
        if (error) *error = p.helpText();
        return false;
    }
    if (!p.positionalArguments().isEmpty()) {
        if (error) *error = QStringLiteral("unexpected argument: ") + p.positionalArguments().first();
        return false;
    }
    opt.bench = p.value(bench);
    opt.chip = p.value(chip);
    opt.module = p.value(module);
    opt.production = p.isSet(production);
    opt.autoUpdateLog = p.value(autoUpdate);
    const QString firmwareKind = p.value(firmware);
    if (firmwareKind != QLatin1String("model") && firmwareKind != QLatin1String("gpsim")) {
        if (error) *error = QStringLiteral("--module-firmware: model or gpsim, not ") + firmwareKind;
        return false;
    }
    opt.executedFirmware = firmwareKind == QLatin1String("gpsim");
    if (opt.executedFirmware && opt.bench.isEmpty()) opt.bench = QStringLiteral("virtual-lpt");
    if (!opt.bench.isEmpty() && opt.bench != QLatin1String("virtual-lpt") && opt.bench != QLatin1String("virtual-usb")) {
        if (error) *error = QStringLiteral("--bench: virtual-lpt or virtual-usb, not ") + opt.bench;
        return false;
    }
    if (opt.chip != QLatin1String("4620") && opt.chip != QLatin1String("452") && opt.chip != QLatin1String("none")) {
        if (error) *error = QStringLiteral("--chip: 4620, 452 or none, not ") + opt.chip;
        return false;
    }
    if (!opt.module.isEmpty() && opt.bench.isEmpty()) {
        if (error) *error = QStringLiteral("--module describes a virtual module; it needs --bench");
        return false;
    }
    if (!opt.module.isEmpty() && opt.chip == QLatin1String("none")) {
        if (error) *error = QStringLiteral("--module needs a module: --chip 4620 or 452");
        return false;
    }
    return true;
}

} // namespace mrk::gui
