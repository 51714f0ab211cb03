#pragma once
// The update command (SpeedButton4Click in MainCommands.h): find the programmer,
// load the update image, wait until the module answers, stream the update to its
// boot loader, confirm the checksum the boot loader leaves in ID word 0.

namespace mrk {

constexpr int kProgrammerWaitAttempts = 10;
constexpr int kProgrammerWaitPasses = 6501;
constexpr int kUpdateWriteAttempts = 10;
constexpr int kChecksumTries = 101;

} // namespace mrk
