#pragma once
// The journal's figures for the people who run the line, from the records a
// filter picks: runs per day (OK, X, not finished), the first-pass yield, the
// failures by the step they failed at, by station and by image. One pass over
// the records, oldest first; the chart view and the HTML report both show it.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "journal/JournalRecord.h"
#include "journal/JournalStore.h"

namespace mrk::journal {

struct Tally {
    int64_t runs = 0, ok = 0, failed = 0, unfinished = 0;
    // Runs that were a module's first try (not the same module done again), and those that ended OK.
    int64_t firstTries = 0, firstTriesOk = 0;
    // First-pass yield in percent; 0 with no first tries.
    [[nodiscard]] double FirstPassYield() const;
};

struct KeyedTally {
    std::string key;
    Tally tally;
};

struct StepFailures {
    std::string step; // the step's name as the log says it ("загрузчик"), or "шаг N"
    int64_t failed = 0;
};

struct ProductionSummary {
    Tally total;
    std::vector<KeyedTally> byDay;      // "YYYY-MM-DD", the station's own calendar, oldest first
    std::vector<KeyedTally> byStation;  // by name
    std::vector<KeyedTally> byImage;    // by the update image's name ("" for none)
    std::vector<StepFailures> byStep;   // runs that ended X, by their first failed step; most first
    int64_t damaged = 0;                // records that could not be read (left out)
};

class SummaryBuilder {
public:
    // dayOf: the calendar day of a stored UTC time; the station's local day unless given.
    explicit SummaryBuilder(std::function<std::string(const std::string& utc)> dayOf = {});
    void Add(const JournalRecord& r);
    void AddDamaged() { ++out_.damaged; }
    [[nodiscard]] ProductionSummary Take();

private:
    std::function<std::string(const std::string&)> dayOf_;
    ProductionSummary out_;
    std::vector<bool> numberSeen_;
    std::vector<KeyedTally> days_, stations_, images_;
    std::vector<StepFailures> steps_;
};

// The station's local calendar day of a stored UTC time; "?" for text that is not one.
std::string LocalDay(const std::string& utc);

// The summary of what the filter picks in the store.
[[nodiscard]] ProductionSummary Summarise(JournalStore& store, const ListFilter& f);

// The filter in words, for a report's heading ("все записи" when it picks everything).
std::string FilterText(const ListFilter& f);

} // namespace mrk::journal
