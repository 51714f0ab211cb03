#pragma once
#include "journal/SqlConnection.h"

struct pg_conn;

namespace mrk::journal {

// The line's shared journal on a PostgreSQL server, named by a libpq
// connection string ("host=... dbname=... user=..." or a postgresql:// URI).
class PgConnection : public SqlConnection {
public:
    // Throws SqlError: a string that is not a connection string, a server that
    // cannot be reached, a login that is refused — each with libpq's own reason.
    explicit PgConnection(const std::string& conninfo, int connectTimeoutSeconds = 5);
    ~PgConnection() override;

    Engine Kind() const override { return Engine::Postgres; }
    std::string Where() const override { return where_; }
    void Exec(const std::string& sql, const std::vector<SqlValue>& params = {}) override;
    std::vector<SqlRow> Query(const std::string& sql, const std::vector<SqlValue>& params = {}) override;
    void BeginExclusive() override;
    void Begin() override;
    void Commit() override;
    void Rollback() noexcept override;

private:
    pg_conn* conn_ = nullptr;
    std::string where_;
};

// The connection string with any password left out, for messages and logs.
std::string RedactConninfo(const std::string& conninfo);

} // namespace mrk::journal
