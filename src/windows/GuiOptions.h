#pragma once
// Start options of mrkprog-gui. Without any the program drives the real
// programmers; the bench options run it on the virtual bench for demonstration
// and tests.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

#include "app/Station.h"

class QCommandLineParser;

namespace mrk::gui {

struct GuiOptions {
    QString bench;             // "", "virtual-lpt" or "virtual-usb"
    QString chip = "4620";     // the module on the bench: "4620", "452" or "none"
    QString module;            // the bench module's memory file (Intel HEX), loaded at start, saved at the end
    bool production = false;   // start in production mode
    QString settings;          // the settings file; empty: named after the program file, in the current folder
    QString programmer;        // the Surtan by its serial number; empty: the settings file's, else the first found
    QString usbDriver = QStringLiteral("libftdi"); // the real USB programmer's driver
    std::optional<uint16_t> lptAddress; // overrides the settings file's AdrLpt
    bool verbose = false;      // the service labels on stderr as well
    QString moduleFirmware = "model"; // what the bench module runs: "model" or "gpsim" (its flash, executed)
    QStringList faults;        // the bench's fault modes, NAME or NAME=N, as the command line takes them
    // --help or --version: this text is printed and nothing starts.
    QString textOnly;
};

// The station's table of start options as this program's parser: every option
// the table gives the window program, and --help, --version.
void DeclareGuiOptions(QCommandLineParser& parser);

// True when the arguments ask only for --help or --version, which must work
// without a display: the program then needs no window system.
bool AsksForTextOnly(int argc, char** argv);

// Options a build of the program adds to the table's: the unattended drivers
// of the tests and demonstrations, which the shipped program does not have.
struct GuiOptionsExtra {
    std::function<void(QCommandLineParser&)> declare;
    // Reads them once parsed; false with a message in *error.
    std::function<bool(const QCommandLineParser&, const GuiOptions&, QString* error)> take;
};

// Parses the arguments after the program name has been taken by QApplication.
// False with a message in *error on a bad option.
bool ParseGuiOptions(const QStringList& arguments, GuiOptions& opt, QString* error, const GuiOptionsExtra& extra = {});

// What the options ask of the station.
StationOptions StationOptionsFrom(const GuiOptions& opt);

} // namespace mrk::gui
