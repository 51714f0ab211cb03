#pragma once
// Records as CSV for spreadsheets: one line per run, comma-separated, RFC 4180
// quoting, UTF-8 with a byte-order mark so that spreadsheet programs read the
// Russian texts right.
#include <ostream>
#include <vector>

#include "journal/JournalRecord.h"

namespace mrk::journal {

void WriteCsvHeader(std::ostream& out);
void WriteCsvRow(std::ostream& out, const JournalRecord& r);
std::string CsvField(const std::string& s);
// "1:ok 2:ok 3:X" for the steps in order.
std::string StepsSummary(const JournalRecord& r);

} // namespace mrk::journal
