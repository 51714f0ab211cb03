#pragma once
// The station both front ends stand on: it chooses the programmers from the
// programmer table (or builds the virtual bench with its faults), keeps the
// bench module's file, reads and writes the settings file and opens the
// production journal. A front end parses its options into StationOptions,
// opens the station and shows what it says.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Detection.h"
#include "app/JournalObserver.h"
#include "app/ProgrammerChoice.h"
#include "app/StationFolders.h"
#include "core/Context.h"
#include "journal/ProductionJournal.h"
#include "sim/Bench.h"

namespace mrk {

struct StationOptions {
    std::string bench;                  // a bench programmer of the table; empty: the real ones
    std::string usbDriver = "libftdi";  // the real USB driver of the table
    std::string chip = "4620";          // the bench's module: "4620", "452" or "none"
    std::string module;                 // the bench module's memory (Intel HEX): loaded, saved when changed
    std::vector<std::string> faults;    // the bench's fault modes, NAME or NAME=N
    std::string moduleFirmware = "model"; // how the bench's module runs its firmware
    std::string settingsPath;           // empty: named after the program file, in the current folder
    std::string programName = "mrkprog"; // the program file's name when the system cannot say it
    std::optional<uint16_t> lptAddress; // overrides the settings file's AdrLpt
    // The Surtan to use, by its serial number; empty: the settings file's, else the first found.
    std::string programmer;
    // The chip named by `chip` is taken as the chip until a detection says
    // otherwise (a command line that loads images without detecting).
    bool assumeChip = false;
};

// How setting up or closing went: ok, or why not with the exit code a command
// line gives it (2: options that do not fit together, 1: a file or device that cannot be used).
// A message with exit code 0 is a notice the front end shows all the same.
struct [[nodiscard]] StationStatus {
    int exitCode = 0;
    std::string message;
    [[nodiscard]] bool Ok() const { return exitCode == 0; }
};

// The options alone, before anything is read or touched; the message says what is wrong.
[[nodiscard]] StationStatus CheckStationOptions(const StationOptions& opt);

class Station {
public:
    // The front end's host; everything the station logs goes there and into the journal.
    explicit Station(Host& host);
    ~Station();
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    // Reads the settings, opens the journal, puts the programmers (or the bench)
    // in place and loads the module file. A refusal touches no file.
    [[nodiscard]] StationStatus Open(const StationOptions& opt);
    [[nodiscard]] bool Opened() const { return opened_; }
    const StationStatus& OpenStatus() const { return openStatus_; }

    // The window's close or the end of a command line: the settings in
    // production mode (unless writeSettings is false: a start the operator
    // declined), the port released, the module file saved when its memory changed.
    [[nodiscard]] StationStatus Close(bool writeSettings = true);

    Context& ctx() { return ctx_; }
    sim::Bench* bench() { return bench_.get(); }
    journal::ProductionJournal& journal() { return journal_; }
    // The journal's watcher of runs; null when the journal is switched off.
    JournalObserver* runObserver() { return ctx_.runObserver ? &observer_ : nullptr; }
    const StationOptions& options() const { return opt_; }
    // Where the settings file and the journal are.
    const StationPlace& place() const { return place_; }
    // Why the settings file was not read as it stands (its defaults are in use); empty if it was.
    // The front end says it where its user looks: the window's log, the command line's stderr.
    const std::string& SettingsProblem() const { return settingsProblem_; }
    // The journal's settings read again from the settings file (a server named since is used from now on).
    void ReloadJournalSettings();
    // Finds the programmer and identifies the chip: the window's "Да" at start, the command line's detect.
    [[nodiscard]] DetectOutcome Detect() { return DetectProgrammer(ctx_, bench_ != nullptr); }
    // Why the USB programmer could not be reached (permission, kernel driver, no library); empty if nothing to say.
    std::string UsbProblem() const;
    // The Surtan chosen by its serial number (empty: the first found), and why it cannot
    // be used (not attached); empty when it can or none was chosen.
    const std::string& ChosenProgrammer() const { return opt_.programmer; }
    std::string ChosenProgrammerProblem() { return ChosenSurtanProblem(ctx_); }
    // The bench module's file, with the chosen Surtan's serial number in place of "{serial}".
    const std::string& ModuleFile() const { return moduleFile_; }

private:
    [[nodiscard]] StationStatus LoadModuleFile();

    StationOptions opt_;
    StationPlace place_;
    journal::ProductionJournal journal_{journal::JournalSettings{}};
    JournalingHost host_;
    JournalObserver observer_;
    Context ctx_;
    std::unique_ptr<sim::Bench> bench_;
    bool opened_ = false;
    bool closed_ = false;
    StationStatus openStatus_;
    // The module file as it was loaded (or the blank module): a run that leaves
    // it so does not rewrite the file.
    std::string moduleBefore_;
    bool moduleFileExists_ = false;
    std::string settingsProblem_;
    std::string moduleFile_;
};

} // namespace mrk
