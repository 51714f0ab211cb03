#include "journal/SqliteConnection.h"

#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace mrk::journal {

namespace {

// Owns one prepared statement.
struct Statement {
    sqlite3_stmt* s = nullptr;
    ~Statement() { sqlite3_finalize(s); }
};

} // namespace

SqliteConnection::SqliteConnection(const std::string& path) : path_(path) {
    std::error_code ec;
    const auto parent = std::filesystem::path(path).parent_path();
    if (!parent.empty() && !std::filesystem::is_directory(parent, ec))
        throw SqlError(path + ": the folder " + parent.string() + " does not exist");
    const int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        const std::string why = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close(db_);
        db_ = nullptr;
        throw SqlError(path + ": " + why);
    }
    sqlite3_extended_result_codes(db_, 1);
    // Another process of this station may be writing; wait for it rather than fail.
    sqlite3_busy_timeout(db_, 10000);
    try {
        if (sqlite3_db_readonly(db_, "main") == 1) throw SqlError(path + ": the file is read-only");
        // The first read tells a database from any other file.
        Query("SELECT count(*) FROM sqlite_master");
        // The switch to WAL needs the file to itself for a moment and SQLite does not
        // wait for that through the busy timeout: a station opening the journal while
        // another one does tries again for as long as that timeout.
        decltype(Query("")) mode;
        for (int attempt = 0;; ++attempt) {
            try {
                mode = Query("PRAGMA journal_mode=WAL");
                break;
            } catch (const SqlError&) {
                if ((sqlite3_extended_errcode(db_) & 0xFF) != SQLITE_BUSY || attempt == 500) throw;
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
        if (mode.empty() || !mode[0][0] || *mode[0][0] != "wal")
            throw SqlError(path + ": cannot switch the journal to WAL mode");
        // Every finished transaction reaches the disk: a record survives a power loss.
        Exec("PRAGMA synchronous=FULL");
        Exec("PRAGMA foreign_keys=ON");
    } catch (...) {
        sqlite3_close(db_);
        db_ = nullptr;
        throw;
    }
}

SqliteConnection::~SqliteConnection() { sqlite3_close(db_); }

std::string SqliteConnection::Error(const std::string& what) const {
    const int code = sqlite3_extended_errcode(db_);
    std::string why = sqlite3_errmsg(db_);
    if ((code & 0xFF) == SQLITE_NOTADB) why = "the file is not a journal database (" + why + ")";
    else if ((code & 0xFF) == SQLITE_READONLY) why = "the file is read-only (" + why + ")";
    else if ((code & 0xFF) == SQLITE_CANTOPEN) why = "cannot open the file (" + why + ")";
    return path_ + ": " + why + (what.empty() ? "" : " [" + what + "]");
}

std::vector<SqlRow> SqliteConnection::Query(const std::string& sql, const std::vector<SqlValue>& params) {
    Statement st;
    if (sqlite3_prepare_v2(db_, sql.c_str(), int(sql.size()), &st.s, nullptr) != SQLITE_OK)
        throw SqlError(Error(sql.substr(0, 60)));
    for (size_t i = 0; i < params.size(); ++i) {
        const int k = int(i) + 1;
        int rc = SQLITE_OK;
        if (const auto* n = std::get_if<int64_t>(&params[i])) rc = sqlite3_bind_int64(st.s, k, *n);
        else if (const auto* t = std::get_if<std::string>(&params[i]))
            rc = sqlite3_bind_text(st.s, k, t->data(), int(t->size()), SQLITE_TRANSIENT);
        else rc = sqlite3_bind_null(st.s, k);
        if (rc != SQLITE_OK) throw SqlError(Error("bind"));
    }
    std::vector<SqlRow> rows;
    for (;;) {
        const int rc = sqlite3_step(st.s);
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW) throw SqlError(Error(sql.substr(0, 60)));
        SqlRow row(size_t(sqlite3_column_count(st.s)));
        for (int c = 0; c < int(row.size()); ++c) {
            if (sqlite3_column_type(st.s, c) == SQLITE_NULL) continue;
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st.s, c));
            row[size_t(c)] = std::string(text, size_t(sqlite3_column_bytes(st.s, c)));
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

void SqliteConnection::Exec(const std::string& sql, const std::vector<SqlValue>& params) { Query(sql, params); }

void SqliteConnection::BeginExclusive() { Exec("BEGIN IMMEDIATE"); }
// Every transaction of the journal writes: take the write lock at once, so that two
// processes never both read and then fail to upgrade.
void SqliteConnection::Begin() { Exec("BEGIN IMMEDIATE"); }
void SqliteConnection::Commit() { Exec("COMMIT"); }
void SqliteConnection::Rollback() noexcept { sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr); }

} // namespace mrk::journal
