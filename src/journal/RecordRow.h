#pragma once
// A record's head as a database row, both ways. Every value read back is
// checked: a journal may have been changed by hand or by another program, and
// one bad value must cost one record, never the program.
#include <optional>
#include <string>

#include "journal/JournalRecord.h"
#include "journal/SqlConnection.h"

namespace mrk::journal {

// The columns RecordFromRow reads, in its order (the steps column is added by the store).
extern const char* const kHeadColumns;
// The same for a journal of the version before (read, never written): what it
// lacks is read as empty.
extern const char* const kHeadColumnsBefore;

// The record, or nothing with the reason in error ("запись 12: неверное значение devid1 'zz'").
[[nodiscard]] std::optional<JournalRecord> RecordFromRow(const SqlRow& row, std::string& error);
// The same into rec, whose strings and vectors are reused, so that a long read
// allocates next to nothing per record; false with the reason in error.
[[nodiscard]] bool ReadRecord(const SqlRow& row, JournalRecord& rec, std::string& error);
// A whole number that fits in [lo, hi]; nothing otherwise.
[[nodiscard]] std::optional<int64_t> CheckedInt(const std::optional<std::string>& text, int64_t lo, int64_t hi);

std::string HexBytes(const std::vector<uint8_t>& bytes);

} // namespace mrk::journal
