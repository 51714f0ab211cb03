#pragma once
// One production record: what a run of the automatic cycle or of the update
// command did to one module, on which station, with what, and how it ended.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mrk::journal {

enum class RunKind { Cycle, Update };
const char* RunKindName(RunKind k); // "cycle" / "update"
[[nodiscard]] std::optional<RunKind> RunKindFromName(const std::string& name);

struct StepOutcome {
    int step = 0;         // the command's own step number
    std::string name;     // what the step does, as the log would say it
    bool ok = true;
};

struct JournalRecord {
    int64_t id = 0;       // in the store it was read from
    std::string uid;      // the same on every store: the station's copy and the server's
    RunKind kind = RunKind::Update;
    std::string station;
    std::string startedUtc;  // "2026-12-10T14:08:53Z"
    std::string endedUtc;    // empty while the run is open (or was killed)
    std::string programmer;  // "LPT 378" / "USB Surtan ..."
    std::string programmerSerial; // the USB programmer's serial number, as its driver lists it; "" for LPT
    std::string chip;        // "PIC18F4620" / "PIC18F452" / ""
    uint8_t devId1 = 0, devId2 = 0;
    std::optional<uint16_t> factoryNumber;
    std::optional<uint32_t> moduleNumber;   // the whole ModuleNumber as written (or as read back)
    std::string imageName;
    uint8_t imageSum1 = 0, imageSum2 = 0;   // the two update sums behind the image
    std::string bootPath, bootSha256;
    std::vector<uint8_t> config;            // configuration bytes written, CONFIG1L first
    std::vector<StepOutcome> steps;         // in order
    std::string result;                     // "OK" / "X"; empty = unfinished
    std::vector<std::string> log;
    std::optional<std::string> redoOf;      // uid of the record of the same module done before
    std::optional<std::string> conflict;    // uid of another record that holds the same factory number
    bool sent = false;                      // the station's copy: on the server already
    std::string setAside;                   // the station's copy: why the server refused it

    [[nodiscard]] bool Finished() const { return !endedUtc.empty(); }
};

// The present moment as "YYYY-MM-DDTHH:MM:SSZ".
std::string UtcNow();
std::string UtcText(std::chrono::system_clock::time_point t);
// A fresh record identity: 32 random hex digits.
std::string NewUid();

} // namespace mrk::journal
