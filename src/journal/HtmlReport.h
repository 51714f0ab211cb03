#pragma once
// The journal's summary as one HTML page a manager can open or mail: nothing
// fetched from anywhere and no scripts (the page's own policy forbids both), the
// charts drawn in inline SVG, each with the table of its numbers below it.
#include <cstdint>
#include <functional>
#include <string>

#include "journal/JournalStore.h"
#include "journal/ProductionSummary.h"

namespace mrk::journal {

struct ReportHeading {
    std::string where;     // whose journal: the station's file or the line's server
    std::string filter;    // what was picked, in words (FilterText)
    std::string madeLocal; // when the page was made, the station's time
};

[[nodiscard]] std::string HtmlReport(const ProductionSummary& s, const ReportHeading& h);
// Text as HTML shows it: markup characters escaped, control characters as "?".
std::string HtmlText(const std::string& s);

struct HtmlFileResult {
    bool written = false;
    int64_t records = 0;
    int64_t skipped = 0;   // damaged records left out
    std::string error;     // why the file was not written
};
// The report of what the filter picks, into the file (a new file beside it that
// replaces it only when whole).
HtmlFileResult WriteHtmlReport(JournalStore& store, const ListFilter& f, const std::string& path,
                               const ReportHeading& h);

} // namespace mrk::journal
