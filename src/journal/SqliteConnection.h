#pragma once
#include <memory>

#include "journal/SqlConnection.h"

struct sqlite3;

namespace mrk::journal {

// The station's own journal file: WAL, full sync, waits (a bounded time) for
// other processes of the station that write at the same moment. Never creates
// anything but a new, empty database: an existing file that is not a journal
// (another program's database, any other file) is left as it is.
class SqliteConnection : public SqlConnection {
public:
    enum class Access {
        Write, // the commands' runs: the file is made if missing
        Read,  // lists and exports: nothing is changed, locked or made
    };
    // Throws SqlError with a plain reason (not a journal, read-only, no folder, ...).
    explicit SqliteConnection(const std::string& path, Access access = Access::Write, int busyWaitMs = 10000);
    ~SqliteConnection() override;

    Engine Kind() const override { return Engine::Sqlite; }
    std::string Where() const override { return path_; }
    void Exec(const std::string& sql, const std::vector<SqlValue>& params = {}) override;
    std::vector<SqlRow> Query(const std::string& sql, const std::vector<SqlValue>& params = {}) override;
    void Each(const std::string& sql, const std::vector<SqlValue>& params,
              const std::function<void(const SqlRow&)>& row) override;
    void BeginExclusive() override;
    void Begin() override;
    void Commit() override;
    void Rollback() noexcept override;

    // A consistent copy of the whole journal, the records still in its -wal
    // included, made while runs go on (SQLite's online backup): written beside
    // target and renamed over it at the end, so an interrupted copy leaves an
    // earlier one whole. Throws SqlError.
    void BackupTo(const std::string& target);

private:
    void Open(Access access);
    void CheckItIsAJournal(Access access);
    std::string Error(const std::string& what) const;
    std::string path_;
    sqlite3* db_ = nullptr;
};

// The mark a journal file carries in its header ("MRKJ"), so that another
// program's SQLite database is never taken for one.
constexpr int32_t kJournalApplicationId = 0x4D524B4A;

} // namespace mrk::journal
