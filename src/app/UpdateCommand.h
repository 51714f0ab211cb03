#pragma once
// The update command (SpeedButton4Click in MainCommands.h): find the programmer,
// load the update image, wait until the module answers, stream the update to its
// boot loader, confirm the checksum the boot loader leaves in ID word 0.
#include <cstdint>
#include <optional>

namespace mrk {

constexpr int kProgrammerWaitAttempts = 10;
constexpr int kProgrammerWaitPasses = 6501;
constexpr int kUpdateWriteAttempts = 10;
constexpr int kChecksumTries = 101;

// How an update ended.
enum class UpdateResult {
    Confirmed,    // the module's checksum equals the image's sums: "КС Программы OK."
    Failed,       // not loaded, no module, not written whole, or a sum that does not match
    Stopped,      // stopped at a step boundary (the operator, the window closing)
    NoProgrammer, // update-only mode found no programmer: nothing was begun
};

// What one update run did, for the front ends, the cycle and the journal.
struct UpdateOutcome {
    UpdateResult result = UpdateResult::Failed;
    // The update was sent in update-only mode: the cycle stamps no identity after it.
    bool updateOnly = false;
    // The module's identity (ID word 1 low, ID word 2 high) as this run read it
    // from the module it updated; none when no ID read of this run got through.
    std::optional<uint32_t> moduleIdentity;

    [[nodiscard]] bool Ok() const { return result == UpdateResult::Confirmed; }
    explicit operator bool() const { return Ok(); }
};

} // namespace mrk
