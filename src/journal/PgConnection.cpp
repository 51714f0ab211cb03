#include "journal/PgConnection.h"

#include <libpq-fe.h>

#include <memory>

namespace mrk::journal {

namespace {

std::string Trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

// '?' placeholders become $1, $2, ...; quoted text is left alone.
std::string Numbered(const std::string& sql) {
    std::string out;
    int n = 0;
    bool quoted = false;
    for (char c : sql) {
        if (c == '\'') quoted = !quoted;
        if (c == '?' && !quoted) out += "$" + std::to_string(++n);
        else out += c;
    }
    return out;
}

} // namespace

std::string RedactConninfo(const std::string& conninfo) {
    char* err = nullptr;
    PQconninfoOption* opts = PQconninfoParse(conninfo.c_str(), &err);
    if (!opts) {
        PQfreemem(err);
        return "(unreadable connection string)";
    }
    std::string out;
    for (PQconninfoOption* o = opts; o->keyword; ++o) {
        if (!o->val || std::string(o->keyword) == "password") continue;
        if (!out.empty()) out += ' ';
        out += std::string(o->keyword) + "=" + o->val;
    }
    PQconninfoFree(opts);
    return out;
}

PgConnection::PgConnection(const std::string& conninfo, int connectTimeoutSeconds) {
    char* err = nullptr;
    PQconninfoOption* parsed = PQconninfoParse(conninfo.c_str(), &err);
    if (!parsed) {
        const std::string why = err ? Trimmed(err) : "unreadable";
        PQfreemem(err);
        throw SqlError("the server's connection string is wrong: " + why);
    }
    PQconninfoFree(parsed);
    where_ = "PostgreSQL " + RedactConninfo(conninfo);
    // A time limit first: the connection string's own connect_timeout, if any, overrides it.
    const std::string timeout = std::to_string(connectTimeoutSeconds);
    const char* keys[] = {"connect_timeout", "application_name", "dbname", nullptr};
    const char* vals[] = {timeout.c_str(), "mrkprog", conninfo.c_str(), nullptr};
    conn_ = PQconnectdbParams(keys, vals, 1);
    if (!conn_) throw SqlError(where_ + ": out of memory", true);
    if (PQstatus(conn_) != CONNECTION_OK) {
        const std::string why = Trimmed(PQerrorMessage(conn_));
        PQfinish(conn_);
        conn_ = nullptr;
        throw SqlError(where_ + ": " + why, true);
    }
    // Notices (e.g. "relation already exists, skipping") are not for the operator.
    PQsetNoticeProcessor(conn_, [](void*, const char*) {}, nullptr);
}

PgConnection::~PgConnection() { PQfinish(conn_); }

std::vector<SqlRow> PgConnection::Query(const std::string& sql, const std::vector<SqlValue>& params) {
    std::vector<std::string> text(params.size());
    std::vector<const char*> values(params.size(), nullptr);
    for (size_t i = 0; i < params.size(); ++i) {
        if (const auto* n = std::get_if<int64_t>(&params[i])) text[i] = std::to_string(*n);
        else if (const auto* t = std::get_if<std::string>(&params[i])) text[i] = *t;
        else continue;
        values[i] = text[i].c_str();
    }
    const std::string numbered = Numbered(sql);
    std::unique_ptr<PGresult, decltype(&PQclear)> res(
        PQexecParams(conn_, numbered.c_str(), int(params.size()), nullptr, values.data(), nullptr, nullptr, 0),
        &PQclear);
    const auto status = res ? PQresultStatus(res.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        const bool lost = PQstatus(conn_) != CONNECTION_OK;
        throw SqlError(where_ + ": " + Trimmed(PQerrorMessage(conn_)), lost);
    }
    std::vector<SqlRow> rows;
    const int nrows = PQntuples(res.get()), ncols = PQnfields(res.get());
    rows.reserve(size_t(nrows));
    for (int r = 0; r < nrows; ++r) {
        SqlRow row(static_cast<size_t>(ncols));
        for (int c = 0; c < ncols; ++c)
            if (!PQgetisnull(res.get(), r, c))
                row[size_t(c)] = std::string(PQgetvalue(res.get(), r, c), size_t(PQgetlength(res.get(), r, c)));
        rows.push_back(std::move(row));
    }
    return rows;
}

void PgConnection::Exec(const std::string& sql, const std::vector<SqlValue>& params) { Query(sql, params); }

void PgConnection::BeginExclusive() {
    Exec("BEGIN");
    // One station at a time changes the schema; the others wait here.
    Exec("SELECT pg_advisory_xact_lock(7316001)");
}
void PgConnection::Begin() { Exec("BEGIN"); }
void PgConnection::Commit() { Exec("COMMIT"); }
void PgConnection::Rollback() noexcept {
    if (conn_ && PQstatus(conn_) == CONNECTION_OK) PQclear(PQexec(conn_, "ROLLBACK"));
}

} // namespace mrk::journal
