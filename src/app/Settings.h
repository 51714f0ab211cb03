#pragma once
// The settings file: a Windows-style ini file named after the program file, in
// the current directory. Read at start; written at close in production mode only.
#include <array>
#include <cstdint>
#include <string>

#include "core/SettingsSection.h"
#include "journal/JournalSettings.h"

namespace mrk {

struct Context;

// currentDir + "/" + the program file's name with its extension replaced by ".ini"
// (mrkprog -> mrkprog.ini, upd.exe -> upd.ini).
std::string IniPathFor(const std::string& currentDir, const std::string& programFile);
// The name the program was started by (argv[0], a link's own name), `fallback` if unknown.
std::string ProgramFileName(const std::string& fallback);

// The values the file holds, each with its default when the file, the key or a
// valid integer is missing.
struct SettingsValues {
    std::array<uint8_t, 14> ConfigWrite{}; // low 8 bits of each value
    // Edit1, Edit2, Edit5: the update file, the boot loaders for the PIC18F4620 and the PIC18F452.
    std::string UpdatePath = "c:\\", BootPath4620 = "c:\\", BootPath452 = "c:\\";
    uint16_t ConfigChip = 0;               // low 16 bits
    uint16_t AdrLpt = 888;                 // low 16 bits
    // Set when a file was there but refused for its size (the defaults stand):
    // the line the front end shows.
    std::string problem;
};
SettingsValues ReadSettingsFile(const std::string& iniPath);

// Every key of one section, read by the same rules as ReadSettingsFile: the
// first of two equal keys, one pair of surrounding double quotes taken off.
// Empty when the file, or the section, is not there or not readable.
SettingsSection ReadSettingsSection(const std::string& iniPath, const std::string& section);
// Where the journal goes, from the file's [Journal] section as read above.
journal::JournalSettings JournalSettingsOf(const std::string& iniPath, const journal::JournalPlace& place = {});

// Reads the 18 keys from ctx.commands.IniPath into ConfigWrite, the three paths,
// ConfigChip and AdrLpt, as the private-profile functions read them: the first
// of two equal keys, one pair of surrounding double quotes taken off. A missing
// or unreadable file (a folder, a pipe, a device), a missing key or a value that
// is not an integer gives the default; nothing is reported, except for a
// file refused for its size (a log line).
void ReadSettings(Context& ctx);
void ApplySettings(Context& ctx, const SettingsValues& v);

// How the close went with the settings file.
enum class SettingsWrite {
    NotDue,    // update-only mode (or no file named): nothing is written
    Unchanged, // the file already holds these values: left as it is
    Written,
    ReadOnly,  // the file may not be written by this user: left as it is, the changes are lost
    Failed,    // the file could not be written: the changes are lost
};
struct [[nodiscard]] SettingsWriteOutcome {
    SettingsWrite result = SettingsWrite::NotDue;
    std::string message; // the line the front end shows (ReadOnly, Failed)
    [[nodiscard]] bool Lost() const { return result == SettingsWrite::ReadOnly || result == SettingsWrite::Failed; }
    // The file holds these settings now (written, or it held them already).
    explicit operator bool() const { return result == SettingsWrite::Written || result == SettingsWrite::Unchanged; }
};

// The main window's close: nothing in update-only mode. In production mode the
// paths and AdrLpt are written, and ConfigWrite[0..13] too when the update path
// ends in ".BIN" (any case). Every other line is kept as it stands, line ends
// (CRLF) and comments included; a value holding a line break is not written.
// The new file is written whole beside the old one and then takes its place, so
// a failed write leaves the old file as it was. A file that would not change is
// not written, and one this user may not write is not replaced.
SettingsWriteOutcome WriteSettingsAtClose(Context& ctx);

} // namespace mrk
