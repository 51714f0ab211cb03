#pragma once
#include <functional>

#include "journal/SqlConnection.h"

struct pg_conn;

namespace mrk::journal {

// The line's shared journal on a PostgreSQL server, named by a libpq
// connection string ("host=... dbname=... user=..." or a postgresql:// URI).
// Every exchange with the server has a deadline: a server that accepts the
// connection and then never answers (frozen, cable pulled) costs at most the
// time-out, after which the connection counts as lost.
class PgConnection : public SqlConnection {
public:
    // Throws SqlError: a string that is not a connection string, a server that
    // cannot be reached or does not answer in time, a login that is refused.
    explicit PgConnection(const std::string& conninfo, int timeoutSeconds = 5);
    ~PgConnection() override;

    Engine Kind() const override { return Engine::Postgres; }
    std::string Where() const override { return where_; }
    void Exec(const std::string& sql, const std::vector<SqlValue>& params = {}) override;
    std::vector<SqlRow> Query(const std::string& sql, const std::vector<SqlValue>& params = {}) override;
    void Each(const std::string& sql, const std::vector<SqlValue>& params,
              const std::function<void(const SqlRow&)>& row) override;
    void BeginExclusive() override;
    void Begin() override;
    void Commit() override;
    void Rollback() noexcept override;

private:
    // Waits until the socket can be read (or written); throws "lost" at the deadline.
    void Wait(bool forWrite, long long deadlineMs);
    void Run(const std::string& sql, const std::vector<SqlValue>& params, bool singleRows,
             const std::function<void(const SqlRow&)>& row);
    void Send(const std::string& sql, const std::vector<SqlValue>& params, bool singleRows);
    [[noreturn]] void Lost(const std::string& why, bool timedOut = false);
    pg_conn* conn_ = nullptr;
    std::string where_;
    int timeoutMs_;
};

// The connection string with every secret (password, sslpassword, ...) left out,
// for messages and logs.
std::string RedactConninfo(const std::string& conninfo);
// Why a connection string cannot be read, naming the key where it goes wrong but
// never quoting any of its values. Empty when it reads.
std::string ConninfoProblem(const std::string& conninfo);

} // namespace mrk::journal
