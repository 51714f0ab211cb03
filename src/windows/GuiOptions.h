#pragma once
// Start options of mrkprog-gui. Without any the program drives the real
// programmers; the bench options run it on the virtual bench for demonstration
// and tests.
#include <QString>
#include <QStringList>

#include "app/Station.h"

namespace mrk::gui {

struct GuiOptions {
    QString bench;             // "", "virtual-lpt" or "virtual-usb"
    QString chip = "4620";     // the module on the bench: "4620", "452" or "none"
    QString module;            // the bench module's memory file (Intel HEX), loaded at start, saved at the end
    bool production = false;   // start with Obnovl clear (production mode)
    QString moduleFirmware = "model"; // what the bench module runs: "model" or "gpsim" (its flash, executed)
    QStringList faults;        // the bench's fault modes, NAME or NAME=N, as the command line takes them
    // Unattended run for tests and demonstrations: answer "Да", press the
    // update button, write the log into this file and close.
    QString autoUpdateLog;
    // --help or --version: this text is printed and nothing starts.
    QString textOnly;
    // Unattended cycle: type autoNumber into the factory-number field, press
    // Enter, write the log into autoCycleLog and close.
    QString autoCycleLog;
    QString autoNumber = QStringLiteral("1234");
};

// True when the arguments ask only for --help or --version, which must work
// without a display: the program then needs no window system.
bool AsksForTextOnly(int argc, char** argv);

// Parses the arguments after the program name has been taken by QApplication.
// False with a message in *error on a bad option.
bool ParseGuiOptions(const QStringList& arguments, GuiOptions& opt, QString* error);

// What the options ask of the station.
StationOptions StationOptionsFrom(const GuiOptions& opt);

} // namespace mrk::gui
