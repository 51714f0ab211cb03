#pragma once
// Configuration bytes, ID locations, device ID and the whole-chip erase over ICSP.
#include <cstdint>

namespace mrk {

struct Context;

// Each routine stops at the step where its programmer stops answering, says so
// in the log (kProgrammerLost), leaves programming mode and gives false.

// Fills ConfigRead and the two device-ID bytes.
[[nodiscard]] bool ReadConfigWords(Context& ctx);
// Writes ConfigWrite (the code-protection pair last), reads it back into
// ConfigRead; true when all fourteen bytes equal ConfigWrite.
[[nodiscard]] bool WriteConfigWords(Context& ctx);
// Fills IdWords and shows them in Label2 (after a lost programmer the words
// not read are 0 and Label2 is left as it was).
[[nodiscard]] bool ReadIdWords(Context& ctx);
// Writes ID words 1..3 (word 0 belongs to the module's boot loader).
[[nodiscard]] bool WriteIdWords(Context& ctx, uint16_t w1, uint16_t w2, uint16_t w3);
// Bulk erase; leaves VPP applied. `clearLog` runs between the last two VPP switches.
[[nodiscard]] bool EraseChip(Context& ctx, void (*clearLog)(Context&) = nullptr);
// The plain device-ID read: no memory selection, no retries; result in Label2.
[[nodiscard]] bool ReadDevIdPlain(Context& ctx);

} // namespace mrk
