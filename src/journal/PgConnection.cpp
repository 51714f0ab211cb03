#include "journal/PgConnection.h"

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cerrno>
#include <memory>
#include <set>

#include "journal/PgErrorText.h"

namespace mrk::journal {

namespace {

std::string Trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
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

// The keywords libpq knows, and which of them hold secrets (shown as '*' in its dialogs).
struct Keywords {
    std::set<std::string> all, secret;
};
const Keywords& KnownKeywords() {
    static const Keywords k = [] {
        Keywords out;
        PQconninfoOption* opts = PQconndefaults();
        for (PQconninfoOption* o = opts; o && o->keyword; ++o) {
            out.all.insert(o->keyword);
            if (o->dispchar && o->dispchar[0] == '*') out.secret.insert(o->keyword);
        }
        PQconninfoFree(opts);
        out.secret.insert("password");
        return out;
    }();
    return k;
}

// Walks "key = value ..." the way libpq reads it, and names the first fault by the
// last key read well; nothing of any value is repeated.
std::string KeyValueProblem(const std::string& s) {
    std::string lastKey;
    auto after = [&] { return lastKey.empty() ? std::string("в её начале") : "после ключа " + lastKey; };
    size_t i = 0;
    auto skipSpace = [&] {
        while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    };
    for (;;) {
        skipSpace();
        if (i >= s.size()) return {};
        std::string key;
        while (i < s.size() && s[i] != '=' && !std::isspace(static_cast<unsigned char>(s[i]))) key += s[i++];
        skipSpace();
        if (i >= s.size() || s[i] != '=') return "ключ без \"=\" " + after();
        if (!KnownKeywords().all.count(key)) return "неизвестный ключ " + after();
        ++i;
        skipSpace();
        if (i < s.size() && s[i] == '\'') {
            ++i;
            bool closed = false;
            while (i < s.size()) {
                if (s[i] == '\\' && i + 1 < s.size()) i += 2;
                else if (s[i] == '\'') {
                    closed = true;
                    ++i;
                    break;
                } else ++i;
            }
            if (!closed) return "у значения ключа " + key + " нет закрывающей кавычки";
        } else {
            while (i < s.size() && !std::isspace(static_cast<unsigned char>(s[i]))) i += (s[i] == '\\') ? 2 : 1;
        }
        lastKey = key;
    }
}

} // namespace

std::string ConninfoProblem(const std::string& conninfo) {
    char* err = nullptr;
    PQconninfoOption* opts = PQconninfoParse(conninfo.c_str(), &err);
    if (opts) {
        PQconninfoFree(opts);
        return {};
    }
    const std::string libpq = err ? err : "";
    PQfreemem(err);
    if (conninfo.rfind("postgresql://", 0) == 0 || conninfo.rfind("postgres://", 0) == 0) {
        // libpq's own words would quote the broken part, which may be the password.
        if (libpq.find("percent-encoded") != std::string::npos)
            return "в URI неверно записан символ через %XX";
        if (libpq.find("invalid URI query parameter") != std::string::npos)
            return "в URI неизвестный параметр после \"?\"";
        return "URI не читается";
    }
    std::string why = KeyValueProblem(conninfo);
    return why.empty() ? "она не читается" : why;
}

std::string RedactConninfo(const std::string& conninfo) {
    PQconninfoOption* opts = PQconninfoParse(conninfo.c_str(), nullptr);
    if (!opts) return "(строка подключения не читается)";
    std::string out;
    for (PQconninfoOption* o = opts; o->keyword; ++o) {
        if (!o->val || KnownKeywords().secret.count(o->keyword)) continue;
        if (!out.empty()) out += ' ';
        out += std::string(o->keyword) + "=" + o->val;
    }
    PQconninfoFree(opts);
    return out;
}

PgConnection::PgConnection(const std::string& conninfo, int timeoutSeconds)
    : timeoutMs_(timeoutSeconds * 1000) {
    if (const std::string why = ConninfoProblem(conninfo); !why.empty())
        throw SqlError("строка подключения к серверу журнала неверна: " + why);
    where_ = "PostgreSQL " + RedactConninfo(conninfo);
    // The time limit first: the connection string's own connect_timeout, if any, overrides it.
    const std::string timeout = std::to_string(timeoutSeconds);
    const char* keys[] = {"connect_timeout", "application_name", "keepalives_idle", "keepalives_interval",
                          "keepalives_count", "dbname", nullptr};
    const char* vals[] = {timeout.c_str(), "mrkprog", "5", "2", "2", conninfo.c_str(), nullptr};
    conn_ = PQconnectStartParams(keys, vals, 1);
    if (!conn_) throw SqlError(where_ + ": не хватает памяти", true);
    // Connecting without blocking, so that the deadline holds even for a server
    // that accepts and never says a word.
    const long long deadline = NowMs() + timeoutMs_;
    for (PostgresPollingStatusType st = PGRES_POLLING_WRITING;;) {
        if (PQstatus(conn_) == CONNECTION_BAD) break;
        if (st == PGRES_POLLING_OK || st == PGRES_POLLING_FAILED) break;
        try {
            Wait(st == PGRES_POLLING_WRITING, deadline);
        } catch (const SqlError&) {
            PQfinish(conn_);
            conn_ = nullptr;
            throw SqlError(where_ + ": сервер не ответил за " + std::to_string(timeoutSeconds) + " с", true, true);
        }
        st = PQconnectPoll(conn_);
    }
    if (PQstatus(conn_) != CONNECTION_OK) {
        const std::string why = PgConnectFailureText(PQerrorMessage(conn_));
        PQfinish(conn_);
        conn_ = nullptr;
        throw SqlError(where_ + ": " + why, true);
    }
    // Notices (e.g. "relation already exists, skipping") are not for the operator.
    PQsetNoticeProcessor(conn_, [](void*, const char*) {}, nullptr);
    PQsetnonblocking(conn_, 1);
    // The time-out bounds waiting, never the length of a read: a statement that waits
    // for a lock gives up a little before the client would (a clean answer rather than
    // a lost connection); a long read streams on as long as rows keep coming. A client
    // that stops in the middle of a transaction (frozen, killed, its cable pulled) has
    // it ended by the server, so its locks never hold the line for long.
    Exec("SET lock_timeout = " + std::to_string(timeoutMs_ * 3 / 4));
    Exec("SET idle_in_transaction_session_timeout = " + std::to_string(std::max(timeoutMs_ * 2, 2000)));
    // The journal's statements are short. Compiling one (which the server's planner
    // chooses for a read of the whole journal) costs more than it can ever save, and
    // parallel workers for such a read only copy its rows once more on their way to
    // the one client (a fifth of its time).
    Exec(std::string("SELECT set_config('max_parallel_workers_per_gather', '0', false)") +
         (PQserverVersion(conn_) >= 110000 ? ", set_config('jit', 'off', false)" : ""));
}

PgConnection::~PgConnection() { PQfinish(conn_); }

void PgConnection::Lost(const std::string& why, bool timedOut) {
    // The connection is of no more use; closing it makes every later call fail at once.
    PQfinish(conn_);
    conn_ = nullptr;
    throw SqlError(where_ + ": " + why, true, timedOut);
}

void PgConnection::Wait(bool forWrite, long long deadlineMs) {
    for (;;) {
        const long long left = deadlineMs - NowMs();
        if (left <= 0) throw SqlError(where_ + ": сервер не ответил", true);
        pollfd p{PQsocket(conn_), short(forWrite ? POLLOUT : POLLIN), 0};
        if (p.fd < 0) throw SqlError(where_ + ": нет соединения с сервером", true);
        const int r = ::poll(&p, 1, int(left));
        if (r > 0) return;
        if (r < 0 && errno != EINTR) throw SqlError(where_ + ": соединение с сервером нарушено", true);
    }
}

void PgConnection::Send(const std::string& sql, const std::vector<SqlValue>& params, bool singleRows) {
    if (!conn_) throw SqlError(where_ + ": связь с сервером была потеряна раньше", true);
    std::vector<std::string> text(params.size());
    std::vector<const char*> values(params.size(), nullptr);
    for (size_t i = 0; i < params.size(); ++i) {
        if (const auto* n = std::get_if<int64_t>(&params[i])) text[i] = std::to_string(*n);
        else if (const auto* t = std::get_if<std::string>(&params[i])) text[i] = *t;
        else continue;
        values[i] = text[i].c_str();
    }
    const std::string numbered = Numbered(sql);
    if (!PQsendQueryParams(conn_, numbered.c_str(), int(params.size()), nullptr, values.data(), nullptr, nullptr,
                           0))
        Lost(PgLostText(PQerrorMessage(conn_)));
    if (singleRows) PQsetSingleRowMode(conn_);
    const long long deadline = NowMs() + timeoutMs_;
    try {
        for (int more; (more = PQflush(conn_)) != 0;) {
            if (more < 0) Lost(PgLostText(PQerrorMessage(conn_)));
            Wait(true, deadline);
        }
    } catch (const SqlError&) {
        Lost("сервер не принял запрос за " + std::to_string(timeoutMs_ / 1000) + " с", true);
    }
}

void PgConnection::Each(const std::string& sql, const std::vector<SqlValue>& params,
                        const std::function<void(const SqlRow&)>& row) {
    Run(sql, params, true, row);
}

void PgConnection::Run(const std::string& sql, const std::vector<SqlValue>& params, bool singleRows,
                       const std::function<void(const SqlRow&)>& row) {
    Send(sql, params, singleRows);
    std::string error, sqlState;
    long long deadline = NowMs() + timeoutMs_;
    SqlRow out;
    std::exception_ptr thrown;
    for (;;) {
        while (PQisBusy(conn_)) {
            try {
                Wait(false, deadline);
            } catch (const SqlError&) {
                Lost("сервер не ответил за " + std::to_string(timeoutMs_ / 1000) + " с", true);
            }
            if (!PQconsumeInput(conn_)) Lost(PgLostText(PQerrorMessage(conn_)));
        }
        std::unique_ptr<PGresult, decltype(&PQclear)> res(PQgetResult(conn_), &PQclear);
        if (!res) break;
        // Rows keep coming: the deadline is for each answer, not for the whole read.
        deadline = NowMs() + timeoutMs_;
        const auto status = PQresultStatus(res.get());
        if (status == PGRES_SINGLE_TUPLE || status == PGRES_TUPLES_OK) {
            const int nrows = PQntuples(res.get()), ncols = PQnfields(res.get());
            // One row for all of them: its strings keep their room from row to row.
            out.resize(size_t(ncols));
            for (int r = 0; r < nrows && !thrown; ++r) {
                for (int c = 0; c < ncols; ++c) {
                    auto& cell = out[size_t(c)];
                    if (PQgetisnull(res.get(), r, c)) {
                        cell.reset();
                        continue;
                    }
                    const char* text = PQgetvalue(res.get(), r, c);
                    const size_t n = size_t(PQgetlength(res.get(), r, c));
                    if (cell) cell->assign(text, n);
                    else cell.emplace(text, n);
                }
                try {
                    row(out);
                } catch (...) {
                    thrown = std::current_exception(); // read the rest of the answer first
                }
            }
        } else if (status != PGRES_COMMAND_OK && error.empty()) {
            const char* msg = PQresultErrorMessage(res.get());
            error = Trimmed(msg && *msg ? msg : PQerrorMessage(conn_));
            const char* state = PQresultErrorField(res.get(), PG_DIAG_SQLSTATE);
            sqlState = state ? state : "";
        }
    }
    if (PQstatus(conn_) != CONNECTION_OK)
        Lost(error.empty() ? PgLostText("") : PgStatementErrorText(sqlState, error, timeoutMs_ / 1000));
    if (thrown) std::rethrow_exception(thrown);
    // A connection fault, the server shutting down, out of resources, a time-out or a
    // deadlock is no fault of the statement: the same statement may go through later.
    const std::string cls = sqlState.substr(0, 2);
    // A lock not granted in time is a wait that ran out, as a silent server's.
    const bool lockWait = sqlState == "55P03";
    const bool passing = cls == "08" || cls == "53" || cls == "57" || cls == "40" || lockWait;
    if (!error.empty())
        throw SqlError(where_ + ": " + PgStatementErrorText(sqlState, error, timeoutMs_ / 1000), passing,
                       sqlState == "57014" || lockWait);
}

std::vector<SqlRow> PgConnection::Query(const std::string& sql, const std::vector<SqlValue>& params) {
    std::vector<SqlRow> rows;
    Run(sql, params, false, [&](const SqlRow& r) { rows.push_back(r); });
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
    if (!conn_ || PQstatus(conn_) != CONNECTION_OK) return;
    try {
        Exec("ROLLBACK");
    } catch (const SqlError&) {
        // Lost on the way: the server drops the transaction with the connection.
    }
}

} // namespace mrk::journal
