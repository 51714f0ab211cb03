#pragma once
// Program memory over ICSP: the boot region written with read-compare-rewrite by
// rows, reads into BuffChip, and the comparison with BuffEt.
#include <cstdint>

namespace mrk {

struct Context;

// Every routine that touches the chip stops where its programmer stops answering
// (checked at each word, row and transfer), says so in the log and gives false.

// Writes the boot region from BuffEt; true when every word then equals BuffEt.
[[nodiscard]] bool WriteBoot(Context& ctx);
// Fill BuffChip with the boot region / the whole program memory; false when the
// programmer stopped answering (BuffChip then holds only part of the read).
[[nodiscard]] bool ReadBoot(Context& ctx);
[[nodiscard]] bool ReadAll(Context& ctx);
// True when the compared range of BuffChip equals BuffEt (whole memory when
// SpeedButton21 is down, else the boot region). Logs every difference.
[[nodiscard]] bool CompareChip(Context& ctx);

// USB form of the reads: 128 words per transfer. FtDecodeWords decodes nothing
// and gives false when the transfer did not come back whole.
[[nodiscard]] bool FtReadChip(Context& ctx);
[[nodiscard]] bool FtDecodeWords(Context& ctx, uint32_t w);

// How often one row may be erased and rewritten before the write gives up.
constexpr int kMaxRowRewrites = 3;

} // namespace mrk
