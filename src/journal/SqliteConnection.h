#pragma once
#include <memory>

#include "journal/SqlConnection.h"

struct sqlite3;

namespace mrk::journal {

// The station's own journal file: WAL, full sync, waits for other processes of
// the station that write at the same moment. Never creates anything but a new,
// empty database: an existing file that is not a journal is left as it is.
class SqliteConnection : public SqlConnection {
public:
    // Throws SqlError with a plain reason (not a database, read-only, no folder, ...).
    explicit SqliteConnection(const std::string& path);
    ~SqliteConnection() override;

    Engine Kind() const override { return Engine::Sqlite; }
    std::string Where() const override { return path_; }
    void Exec(const std::string& sql, const std::vector<SqlValue>& params = {}) override;
    std::vector<SqlRow> Query(const std::string& sql, const std::vector<SqlValue>& params = {}) override;
    void BeginExclusive() override;
    void Begin() override;
    void Commit() override;
    void Rollback() noexcept override;

private:
    std::string Error(const std::string& what) const;
    std::string path_;
    sqlite3* db_ = nullptr;
};

} // namespace mrk::journal
