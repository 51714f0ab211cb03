#pragma once
// The update command: find the programmer, load the update image, wait until the
// module answers, stream the update to its boot loader, confirm the checksum the
// boot loader leaves in ID word 0.
#include <functional>

namespace mrk {

struct Context;

struct UpdateCommandSteps {
    // Loads the update image for the identified chip into BuffEt (with its sums).
    std::function<void(Context&)> loadUpdateImage;
};

// True when the module's checksum matched. Leaves SpeedButton4Tag as the main window does.
bool RunUpdateCommand(Context& ctx, const UpdateCommandSteps& steps);

constexpr int kProgrammerWaitAttempts = 10;
constexpr int kProgrammerWaitPasses = 6501;
constexpr int kUpdateWriteAttempts = 10;
constexpr int kChecksumTries = 101;

} // namespace mrk
