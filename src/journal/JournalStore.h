#pragma once
// Records in one database (the station's SQLite file or the line's server),
// written as a run goes: opened at its start, each step as it ends, finished at
// its end; so a run that never ended stays visible as unfinished.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "journal/JournalRecord.h"
#include "journal/SqlConnection.h"

namespace mrk::journal {

struct ListFilter {
    std::string since;                  // started on or after this UTC time ("YYYY-MM-DDTHH:MM:SSZ")
    std::string until;                  // started before this UTC time
    std::optional<uint16_t> number;     // factory number
    bool failedOnly = false;            // result "X" or unfinished
    std::string station;                // empty: every station
    std::string result;                 // "OK", "X" or "unfinished"; empty: any
    std::string chip;                   // "PIC18F452" ...; empty: any
    std::optional<RunKind> kind;
    bool conflictsOnly = false;         // records whose factory number another record also holds
    bool waitingOnly = false;           // records not yet on the server (set aside ones too)
    std::optional<int> limit;           // the newest n only
    int64_t skipNewest = 0;             // with limit: a page further back, past the newest this many
};

// What opening a record with a factory number found.
struct OpenResult {
    bool opened = false;
    std::optional<JournalRecord> holder; // when refused: the last record of the number's module
};

// What sending one record to the server found.
struct PutResult {
    bool written = false;                // false: the server's copy was as new or newer
    std::optional<std::string> conflict; // uid of another record holding the same factory number
};

// A factory number a station's record holds, as a joining station claims it on the line.
struct NumberClaim {
    uint16_t number = 0;
    std::string uid, station, startedUtc;
};

// One line of a summary: runs grouped by day, station or image.
struct SummaryRow {
    std::string key;
    int64_t runs = 0, ok = 0, failed = 0, unfinished = 0;
};
enum class SummaryBy { Day, Station, Image };

class JournalStore {
public:
    enum class Access { Write, Read };
    // Takes the connection; for writing brings its schema up to date (throws SqlError).
    // For reading changes nothing, and refuses a journal of another version.
    explicit JournalStore(std::unique_ptr<SqlConnection> db, Access access = Access::Write);

    SqlConnection& Db() { return *db_; }
    std::string Where() const { return db_->Where(); }

    // Opens the record; with reserve, first reserves its factory number, which fails when
    // the number is taken and the record is not a redo of that module (rec.redoOf);
    // without mustHold a taken number is left to its holder and the record opens anyway.
    OpenResult Open(JournalRecord& rec, bool reserve, bool mustHold = true);
    // Reserves the record's factory number for it, in a transaction of its own (nothing
    // refused afterwards frees it); a number reserved for this record already counts as
    // reserved. Taken by another record: refused with its holder (see Open), unless !mustHold.
    OpenResult ReserveNumber(const JournalRecord& rec, bool mustHold = true);
    // Reserves many numbers at once for their records (a station joining the line with
    // its backlog): a number already held is left to its holder. How many were new.
    int64_t ReserveNumbers(const std::vector<NumberClaim>& claims);
    // The numbers of the cycles recorded here after afterId, oldest first; lastId: the
    // last record looked at.
    std::vector<NumberClaim> CycleNumbers(int64_t afterId, int64_t& lastId);
    // Who holds the factory number here, if anyone (the number's last cycle).
    [[nodiscard]] std::optional<JournalRecord> Holder(uint16_t number);
    // One step more, with the log lines that came since the last write (from logFrom on).
    void AddStep(const JournalRecord& rec, size_t stepIndex, size_t logFrom);
    // The end: every head field, the remaining steps and log lines; sent as given.
    void Finish(const JournalRecord& rec, size_t logFrom, bool sent);
    // The whole record by its uid, replacing an older copy (never a newer one); a
    // cycle's factory number is reserved for it, and a number held by another
    // record is marked as a conflict on both.
    PutResult Put(const JournalRecord& rec, bool sent);

    // Records oldest first, one at a time (with their steps, without the log);
    // a record with a malformed value is passed to bad and skipped.
    void Each(const ListFilter& f, const std::function<void(const JournalRecord&)>& record,
              const std::function<void(const std::string&)>& bad = {});
    std::vector<JournalRecord> List(const ListFilter& f, bool withSteps = false);
    std::vector<SummaryRow> Summary(const ListFilter& f, SummaryBy by);
    // How many records the filter picks (its limit aside).
    int64_t Count(const ListFilter& f);
    [[nodiscard]] std::optional<JournalRecord> Get(int64_t id);
    // By the uid or its first characters (at least 8); throws when they name several.
    [[nodiscard]] std::optional<JournalRecord> GetByUid(const std::string& uid);

    // Records not yet on the server that have ended (or were killed long ago; the set-aside ones only withSetAside),
    // oldest first from after afterId, at most limit (0: all).
    std::vector<JournalRecord> Unsent(int limit = 0, bool withSetAside = false, int64_t afterId = 0);
    int64_t CountUnsent();
    int64_t CountSetAside();
    void MarkSent(const std::string& uid);
    // The server refused the record: kept on the station with the reason, out of the queue.
    void SetAside(const std::string& uid, const std::string& why);
    void MarkConflict(const std::string& uid, const std::string& otherUid);

private:
    void WriteHead(const JournalRecord& rec, bool sent);
    void WriteSteps(int64_t runId, const JournalRecord& rec, size_t from);
    void WriteLog(int64_t runId, const JournalRecord& rec, size_t from);
    void LoadDetails(JournalRecord& rec);
    [[nodiscard]] std::optional<JournalRecord> One(const std::string& where, const std::vector<SqlValue>& params);
    std::string StepsColumn() const;
    std::unique_ptr<SqlConnection> db_;
    const char* head_; // the record's columns as this journal's version has them
};

// How far along a copy of a record is: more steps, more log lines, ended.
int64_t Revision(const JournalRecord& rec);

} // namespace mrk::journal
