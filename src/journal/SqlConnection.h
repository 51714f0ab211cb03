#pragma once
// The little the journal needs from a database engine: statements with
// parameters, rows of text, write transactions. SQL is written once with '?'
// placeholders; each engine adapts it.
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace mrk::journal {

enum class Engine { Sqlite, Postgres };

using SqlValue = std::variant<std::nullptr_t, int64_t, std::string>;
using SqlRow = std::vector<std::optional<std::string>>;

// A failed statement or connection. lost: the connection to the server is gone
// (timedOut: because the server did not answer in time); otherwise the database
// refused the statement itself.
class SqlError : public std::runtime_error {
public:
    SqlError(const std::string& what, bool lost = false, bool timedOut = false)
        : std::runtime_error(what), lost_(lost || timedOut), timedOut_(timedOut) {}
    [[nodiscard]] bool Lost() const { return lost_; }
    [[nodiscard]] bool TimedOut() const { return timedOut_; }

private:
    bool lost_, timedOut_;
};

class SqlConnection {
public:
    virtual ~SqlConnection() = default;
    virtual Engine Kind() const = 0;
    // Where the data lives, for messages: the file, or the server without its password.
    virtual std::string Where() const = 0;
    virtual void Exec(const std::string& sql, const std::vector<SqlValue>& params = {}) = 0;
    virtual std::vector<SqlRow> Query(const std::string& sql, const std::vector<SqlValue>& params = {}) = 0;
    // The rows one at a time as they come, none kept: reads of any length in little memory.
    virtual void Each(const std::string& sql, const std::vector<SqlValue>& params,
                      const std::function<void(const SqlRow&)>& row) = 0;
    // A write transaction that holds the database against other writers from its start,
    // so that read-then-write sequences (migrations) are not raced.
    virtual void BeginExclusive() = 0;
    virtual void Begin() = 0;
    virtual void Commit() = 0;
    virtual void Rollback() noexcept = 0;
};

// Runs body in a transaction; rolls back when it throws.
template <class F>
void InTransaction(SqlConnection& db, F&& body, bool exclusive = false) {
    exclusive ? db.BeginExclusive() : db.Begin();
    try {
        body();
        db.Commit();
    } catch (...) {
        db.Rollback();
        throw;
    }
}

} // namespace mrk::journal
