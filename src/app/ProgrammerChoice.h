#pragma once
// Which Surtan a program uses when a station has several: the one named by its
// serial number (--programmer, or [Programmer] Serial= in the settings file),
// else the first Surtan found, as with one programmer.
#include <string>
#include <vector>

namespace mrk {

struct Context;

// The settings file's section and key for the window program's Surtan.
constexpr const char* kProgrammerSection = "Programmer";
constexpr const char* kProgrammerSerialKey = "Serial";

// [Programmer] Serial= of the settings file; empty when the file or the key is not there.
std::string ProgrammerSerialSetting(const std::string& iniPath);

// The Surtans of the virtual bench's USB bus, each with a module of its own.
const std::vector<std::string>& BenchSurtanSerials();

// A module file named for the Surtan it sits on: "{serial}" in the name stands
// for the serial number, so that programs side by side keep their modules apart.
std::string ModuleFileFor(const std::string& pattern, const std::string& serial);
constexpr const char* kSerialPlaceholder = "{serial}";

// Why the chosen Surtan cannot be used: it is not on the bus (with the Surtans
// that are); empty when none was chosen or it is there.
std::string ChosenSurtanProblem(Context& ctx);

} // namespace mrk
