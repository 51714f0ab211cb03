#pragma once
// Records in one database (the station's SQLite file or the line's server),
// written as a run goes: opened at its start, each step as it ends, finished at
// its end; so a run that never ended stays visible as unfinished.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "journal/JournalRecord.h"
#include "journal/SqlConnection.h"

namespace mrk::journal {

struct ListFilter {
    std::string since;                  // records started on or after this UTC date/time
    std::optional<uint16_t> number;     // factory number
    bool failedOnly = false;            // result "X" or unfinished
    std::string station;                // empty: every station
    std::optional<int> limit;           // the newest n only
};

// What opening a record with a factory number found.
struct OpenResult {
    bool opened = false;
    std::optional<JournalRecord> holder; // when refused: the last record of the number's module
};

class JournalStore {
public:
    // Takes the connection and brings its schema up to date (throws SqlError).
    explicit JournalStore(std::unique_ptr<SqlConnection> db);

    SqlConnection& Db() { return *db_; }
    std::string Where() const { return db_->Where(); }

    // Opens the record; with reserve, first reserves its factory number, which fails when
    // the number is taken and the record is not a redo of that module (rec.redoOf).
    OpenResult Open(JournalRecord& rec, bool reserve);
    // One step more, with the log lines that came since the last write (from logFrom on).
    void AddStep(const JournalRecord& rec, size_t stepIndex, size_t logFrom);
    // The end: every head field, the remaining steps and log lines; sent as given.
    void Finish(const JournalRecord& rec, size_t logFrom, bool sent);
    // The whole record by its uid, replacing what an earlier write left.
    void Put(const JournalRecord& rec, bool sent);

    // Heads (and with withSteps their steps) oldest first; Get and GetByUid give the log too.
    std::vector<JournalRecord> List(const ListFilter& f, bool withSteps = false);
    std::optional<JournalRecord> Get(int64_t id);
    std::optional<JournalRecord> GetByUid(const std::string& uid);
    // Records not yet on the server, oldest first (the station's journal).
    std::vector<JournalRecord> Unsent();
    void MarkSent(const std::string& uid);

private:
    int64_t RunId(const std::string& uid);
    void WriteHead(const JournalRecord& rec, bool sent);
    void WriteSteps(int64_t runId, const JournalRecord& rec, size_t from);
    void WriteLog(int64_t runId, const JournalRecord& rec, size_t from);
    void LoadDetails(JournalRecord& rec);
    std::unique_ptr<SqlConnection> db_;
};

} // namespace mrk::journal
