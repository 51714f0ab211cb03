#pragma once
// Records as CSV for spreadsheets: one line per run, comma-separated, RFC 4180
// quoting, UTF-8 with a byte-order mark so that spreadsheet programs read the
// Russian texts right.
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "journal/JournalRecord.h"
#include "journal/JournalStore.h"

namespace mrk::journal {

void WriteCsvHeader(std::ostream& out);
void WriteCsvRow(std::ostream& out, const JournalRecord& r);
// The same onto the end of out: what long exports use, with no allocation per field.
void AppendCsvRow(std::string& out, const JournalRecord& r);
std::string CsvField(const std::string& s);
void AppendCsvField(std::string& out, std::string_view s);
// "1:ok 2:ok 3:X" for the steps in order.
std::string StepsSummary(const JournalRecord& r);
void AppendStepsSummary(std::string& out, const JournalRecord& r);

struct CsvFileResult {
    bool written = false;
    int64_t records = 0;
    int skipped = 0;       // damaged records left out (each passed to bad)
    std::string error;     // why the file was not written
};
// The records the filter picks, oldest first, into the file: streamed, whatever
// their number, to a new file beside it that replaces it only when whole, so an
// export that fails leaves the earlier file as it was. Both front ends use it.
CsvFileResult WriteCsvFile(JournalStore& store, const ListFilter& f, const std::string& path,
                           const std::function<void(const std::string&)>& bad = {});

} // namespace mrk::journal
