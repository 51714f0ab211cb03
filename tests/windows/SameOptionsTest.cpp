// Both programs take the same start options with the same meanings: each
// argument list is parsed by the command line's parser and by the window
// program's, and the station options they arrive at must be the same (or both
// refuse it).
#include <QCommandLineParser>
#include <QtTest>

#include "app/StartOptions.h"
#include "cli/Setup.h"
#include "windows/GuiOptions.h"

namespace mrk::gui::test {

namespace {

struct Parsed {
    bool ok = false;
    StartOptions start;
    QString error;
};

Parsed ThroughCommandLine(const QStringList& args) {
    Parsed r;
    cli::GlobalOptions opt;
    CLI::App app{"mrkprog", "mrkprog"};
    cli::DeclareGlobalOptions(app, opt);
    std::vector<std::string> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(it->toStdString());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        r.error = QString::fromStdString(e.what());
        return r;
    }
    StationStatus status = cli::TakeGlobalOptions(opt);
    // The command line leaves whether they fit together to the station's opening, which asks this.
    if (status.Ok()) status = CheckStationOptions(opt.station);
    r.ok = status.Ok();
    r.error = QString::fromStdString(status.message);
    r.start = opt;
    return r;
}

Parsed ThroughWindows(const QStringList& args) {
    Parsed r;
    GuiOptions opt;
    r.ok = ParseGuiOptions(QStringList{QStringLiteral("mrkprog-gui")} + args, opt, &r.error);
    r.start.station = StationOptionsFrom(opt);
    r.start.verbose = opt.verbose;
    r.start.production = opt.production;
    return r;
}

} // namespace

class SameOptionsTest : public QObject {
    Q_OBJECT
private slots:
    void sameArgumentsSameStation_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("accepted");
        const auto row = [](const char* name, QStringList args, bool accepted) {
            QTest::newRow(name) << args << accepted;
        };
        row("none", {}, true);
        row("bench and module", {"--bench", "virtual-usb", "--chip", "452", "--module", "m.hex"}, true);
        row("real programmers", {"--usb-driver", "d2xx", "--lpt-address", "3bc", "--settings", "/tmp/station.ini"}, true);
        row("-v is verbose", {"-v", "--bench", "virtual-lpt"}, true);
        row("--verbose", {"--verbose"}, true);
        row("faults in order",
            {"--bench", "virtual-usb", "--fault", "ftdi-unplug-after=40", "--fault", "kordel-slow-echo=300"}, true);
        row("executed firmware", {"--module-firmware", "gpsim", "--chip", "none"}, true);
        row("a Surtan by its serial number", {"--bench", "virtual-usb", "--programmer", "VRT00002"}, true);
        row("a serial number with a space", {"--programmer", "VRT 2"}, false);
        row("a Surtan on the Kordel's bench", {"--bench", "virtual-lpt", "--programmer", "VRT00002"}, false);
        row("option=value", {"--bench=virtual-lpt", "--lpt-address=278"}, true);
        row("address beyond the ports", {"--lpt-address", "FFFE"}, false);
        row("address not hexadecimal", {"--lpt-address", "0x37g"}, false);
        row("unknown chip", {"--chip", "16F84"}, false);
        row("unknown USB driver", {"--usb-driver", "serial"}, false);
        row("unknown bench", {"--bench", "virtual-spi"}, false);
        row("unknown fault", {"--bench", "virtual-usb", "--fault", "no-such-fault"}, false);
        row("module without bench", {"--module", "m.hex"}, false);
        row("unknown option", {"--no-such-option"}, false);
        row("one value given twice", {"--bench", "virtual-lpt", "--chip", "452", "--chip", "none"}, false);
    }

    void sameArgumentsSameStation() {
        QFETCH(QStringList, args);
        QFETCH(bool, accepted);
        const Parsed cli = ThroughCommandLine(args);
        const Parsed gui = ThroughWindows(args);
        QVERIFY2(cli.ok == accepted, qPrintable("mrkprog: " + cli.error));
        QVERIFY2(gui.ok == accepted, qPrintable("mrkprog-gui: " + gui.error));
        if (!accepted) return;
        const StationOptions& c = cli.start.station;
        const StationOptions& g = gui.start.station;
        QCOMPARE(g.bench, c.bench);
        QCOMPARE(g.usbDriver, c.usbDriver);
        QCOMPARE(g.chip, c.chip);
        QCOMPARE(g.module, c.module);
        QCOMPARE(g.faults, c.faults);
        QCOMPARE(g.moduleFirmware, c.moduleFirmware);
        QCOMPARE(g.settingsPath, c.settingsPath);
        QCOMPARE(g.lptAddress, c.lptAddress);
        QCOMPARE(g.programmer, c.programmer);
        QCOMPARE(gui.start.verbose, cli.start.verbose);
        QVERIFY(!gui.start.production);
    }

    void theValuesMeanWhatTheySay() {
        const Parsed p = ThroughWindows({"-v", "--lpt-address", "3BC", "--settings", "s.ini", "--usb-driver", "d2xx"});
        QVERIFY2(p.ok, qPrintable(p.error));
        QVERIFY(p.start.verbose);
        QCOMPARE(p.start.station.lptAddress, std::optional<uint16_t>(0x3BC));
        QCOMPARE(p.start.station.settingsPath, std::string("s.ini"));
        QCOMPARE(p.start.station.usbDriver, std::string("d2xx"));
        // Not given: the settings file's address is used, and the settings file named after the program.
        const Parsed none = ThroughCommandLine({});
        QVERIFY(!none.start.station.lptAddress);
        QVERIFY(none.start.station.settingsPath.empty());
        QVERIFY(!none.start.verbose);
    }

    // Every option the table gives both programs is declared by both parsers, and
    // the window program's own (--production) only by it.
    void bothParsersDeclareTheTable() {
        cli::GlobalOptions opt;
        CLI::App app{"mrkprog", "mrkprog"};
        cli::DeclareGlobalOptions(app, opt);
        QCommandLineParser p;
        DeclareGuiOptions(p);
        // The window program's parser says what it declared in its help, one option a line.
        const QStringList guiLines = p.helpText().split(QLatin1Char('\n'));
        const auto guiHas = [&guiLines](const QString& names) {
            for (const QString& line : guiLines)
                if (line.trimmed().startsWith(names + QLatin1Char(' ')) || line.trimmed() == names) return true;
            return false;
        };
        for (const StartOptionEntry& e : StartOptionTable()) {
            const QString name = QStringLiteral("--") + QString::fromLatin1(e.name);
            const QString names = e.shortName ? QStringLiteral("-%1, %2").arg(QLatin1Char(e.shortName)).arg(name) : name;
            QVERIFY2(guiHas(names) == bool(e.frontEnds & kWindows), qPrintable(names));
            QCOMPARE(app.get_option_no_throw("--" + std::string(e.name)) != nullptr, bool(e.frontEnds & kCommandLine));
            if (e.shortName && (e.frontEnds & kCommandLine))
                QVERIFY(app.get_option_no_throw(std::string("-") + e.shortName) != nullptr);
        }
        // -v is --verbose in both; --version has no short name in either.
        GuiOptions g;
        QString error;
        QVERIFY(ParseGuiOptions({"mrkprog-gui", "-v"}, g, &error));
        QVERIFY(g.textOnly.isEmpty());
        QVERIFY(g.verbose);
    }

    // The window program's help shows the options the command line has, and no internal name.
    void helpListsTheSharedOptions() {
        GuiOptions g;
        QString error;
        QVERIFY(ParseGuiOptions({"mrkprog-gui", "--help"}, g, &error));
        for (const char* word : {"--settings", "--usb-driver", "--lpt-address", "-v, --verbose", "--version",
                                 "USB drivers (--usb-driver):"})
            QVERIFY2(g.textOnly.contains(QString::fromUtf8(word)), word);
        QVERIFY(!g.textOnly.contains(QStringLiteral("Obnovl")));
        QVERIFY(!g.textOnly.contains(QStringLiteral("-v, --version")));
    }
};

} // namespace mrk::gui::test

QTEST_GUILESS_MAIN(mrk::gui::test::SameOptionsTest)
#include "SameOptionsTest.moc"
