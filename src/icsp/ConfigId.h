#pragma once
// Configuration bytes, ID locations, device ID and the whole-chip erase over ICSP.
#include <cstdint>

namespace mrk {

struct Context;

// Fills ConfigRead and the two device-ID bytes.
void ReadConfigWords(Context& ctx);
// Writes ConfigWrite (the code-protection pair last), reads it back into
// ConfigRead; true when all fourteen bytes equal ConfigWrite.
bool WriteConfigWords(Context& ctx);
// Fills IdWords and shows them in Label2.
void ReadIdWords(Context& ctx);
// Writes ID words 1..3 (word 0 belongs to the module's boot loader).
void WriteIdWords(Context& ctx, uint16_t w1, uint16_t w2, uint16_t w3);
// Bulk erase; leaves VPP applied. `clearLog` runs between the last two VPP switches.
void EraseChip(Context& ctx, void (*clearLog)(Context&) = nullptr);
// The plain device-ID read: no memory selection, no retries; result in Label2.
void ReadDevIdPlain(Context& ctx);

} // namespace mrk
