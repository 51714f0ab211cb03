#pragma once
// Program memory over ICSP: the boot region written with read-compare-rewrite by
// rows, reads into the read-back image (BuffChip), and the comparison with the
// reference image (BuffEt). Both images hold two bytes a word, low byte first.
#include <cstdint>
#include <optional>
#include <span>

#include "core/Host.h"
#include "icsp/Chip.h"
#include "transport/Line.h"

namespace mrk {

// Every routine that touches the chip stops where its programmer stops answering
// (checked at each word, row and transfer), says so in the log and gives false.

// Writes the boot region from reference; true when every word then equals it.
[[nodiscard]] bool WriteBoot(Line& line, const Chip& chip, Host& host, std::span<const uint8_t> reference);
// Fill chipBytes with the boot region / the whole program memory; false when the
// programmer stopped answering: chipBytes then holds only part of the read, and
// brokeAt says where it broke off (none after a whole read). A batching line
// reads the whole memory when batchWhole, else the boot region, whichever of the
// two is asked (the compare-range toggle decides it there).
[[nodiscard]] bool ReadBoot(Line& line, const Chip& chip, Host& host, std::span<uint8_t> chipBytes,
                            std::optional<uint32_t>& brokeAt, bool batchWhole);
[[nodiscard]] bool ReadAll(Line& line, const Chip& chip, Host& host, std::span<uint8_t> chipBytes,
                           std::optional<uint32_t>& brokeAt, bool batchWhole);
// True when the compared range of chipBytes equals reference (whole memory when
// whole, else the boot region). Logs every difference.
[[nodiscard]] bool CompareChip(const Chip& chip, Host& host, std::span<const uint8_t> chipBytes,
                               std::span<const uint8_t> reference, bool whole);

// The read on a batching line: 128 words per transfer. FtDecodeWords decodes
// nothing and gives false when the transfer did not come back whole.
[[nodiscard]] bool FtReadChip(Line& line, const Chip& chip, Host& host, std::span<uint8_t> chipBytes,
                              std::optional<uint32_t>& brokeAt, bool whole);
[[nodiscard]] bool FtDecodeWords(SampleBatch& batch, std::span<uint8_t> chipBytes, std::optional<uint32_t>& brokeAt,
                                 uint32_t w);

// How often one row may be erased and rewritten before the write gives up.
constexpr int kMaxRowRewrites = 3;

} // namespace mrk
