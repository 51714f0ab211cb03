#include "journal/SqliteConnection.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include "core/FileBytes.h"

namespace mrk::journal {

namespace {

// Owns one prepared statement.
struct Statement {
    sqlite3_stmt* s = nullptr;
    ~Statement() { sqlite3_finalize(s); }
};

std::string Folder(const std::string& path) {
    const auto parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? "." : parent.string();
}

// The path as a file: URI, with the characters a URI gives meaning to escaped.
std::string UriPath(const std::string& path) {
    std::string out;
    char buf[4];
    for (unsigned char c : path) {
        if (c == '%' || c == '?' || c == '#' || c < 0x21) {
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        } else {
            out += char(c);
        }
    }
    return out;
}

// What an SQLite result code means here, in the operator's words; SQLite's own
// text follows only where it tells the service engineer more.
std::string ResultText(int code, int sysErr, const std::string& sqlite, const std::string& folder) {
    const std::string own = sqlite.empty() ? "" : " (SQLite: " + sqlite + ")";
    switch (code & 0xFF) {
    case SQLITE_NOTADB: return "файл не является базой данных журнала";
    case SQLITE_CORRUPT: return "файл журнала повреждён" + own;
    case SQLITE_READONLY:
        if (::access(folder.c_str(), W_OK) != 0)
            return "в папку " + folder + " нельзя записывать (журналу нужны рядом его файлы -wal и -shm)";
        return "файл журнала только для чтения";
    case SQLITE_CANTOPEN:
        return "файл журнала не открывается" + (sysErr ? " (" + SystemErrorText(sysErr) + ")" : own);
    case SQLITE_FULL: return "диск заполнен";
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return "журнал занят: в него пишет другая программа; попробуйте ещё раз";
    case SQLITE_IOERR:
        if (sysErr == ENOSPC || sysErr == EDQUOT) return "диск заполнен";
        if (sysErr != 0) return "ошибка диска (" + SystemErrorText(sysErr) + ")";
        return "ошибка чтения или записи диска" + own;
    case SQLITE_PERM:
    case SQLITE_AUTH: return "нет доступа к файлу журнала";
    case SQLITE_NOMEM: return "не хватает памяти";
    case SQLITE_CONSTRAINT: return "запись нарушает ограничение базы журнала" + own;
    default: return "ошибка базы журнала" + own;
    }
}

} // namespace

SqliteConnection::SqliteConnection(const std::string& path, Access access, int busyWaitMs) : path_(path) {
    // SQLite's count of its own memory takes a process-wide lock on every allocation,
    // a good part of a long read; nothing here asks for the count. Settable only
    // before SQLite's first use in the process; later calls change nothing.
    static const bool noMemoryCount = [] { return sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK; }();
    (void)noMemoryCount;
    std::error_code ec;
    const std::string folder = Folder(path);
    if (!std::filesystem::is_directory(folder, ec))
        throw SqlError(path + ": папки " + folder + " нет");
    // An empty file is the one the package makes for the station's first run.
    if (access == Access::Read && (!std::filesystem::exists(path, ec) || std::filesystem::file_size(path, ec) == 0))
        throw SqlError(path + ": журнал пуст (на этой станции ещё не записан ни один прогон)");
    int flags = access == Access::Read ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    // A connection is used by one thread at a time: SQLite's own lock around every
    // call would cost a fifth of a long read.
    flags |= SQLITE_OPEN_NOMUTEX;
    // With no -wal (no writer, everything in the file itself) the file can be read as it stands.
    auto walEmpty = [&] {
        std::error_code walEc;
        const auto wal = std::filesystem::file_size(path + "-wal", walEc);
        return walEc || wal == 0;
    };
    bool asItStands = false;
    if (access == Access::Read && (::access(path.c_str(), W_OK) != 0 || ::access(folder.c_str(), W_OK) != 0)) {
        // Where this user cannot write, a WAL reader cannot make the shared-memory
        // file. While a writer has the journal open its -wal and -shm are there and
        // SQLite reads through them read-only, seeing every committed record. With no
        // -wal the file is read as it stands.
        if (walEmpty()) {
            asItStands = true;
        } else if (::access((path + "-shm").c_str(), R_OK) != 0) {
            throw SqlError(path + ": журнал сейчас пишется, а его файл " + path +
                           "-shm недоступен этому пользователю: последние записи прочитать нельзя");
        }
    }
    auto open = [&](bool immutable) {
        const std::string name = immutable ? "file:" + UriPath(path) + "?immutable=1" : path;
        int rc = sqlite3_open_v2(name.c_str(), &db_, immutable ? flags | SQLITE_OPEN_URI : flags, nullptr);
        if (rc != SQLITE_OK) {
            const std::string why = db_ ? Error("") : path + ": " + ResultText(rc, 0, "", folder);
            sqlite3_close(db_);
            db_ = nullptr;
            throw SqlError(why);
        }
        sqlite3_extended_result_codes(db_, 1);
        // Another process of this station may be writing; wait for it a while rather than fail.
        sqlite3_busy_timeout(db_, busyWaitMs);
        try {
            Open(access);
        } catch (...) {
            sqlite3_close(db_);
            db_ = nullptr;
            throw;
        }
    };
    try {
        open(asItStands);
    } catch (const SqlError&) {
        // A disk too full for a reader's shared-memory file: with no -wal every
        // committed record is in the file itself (and no writer can grow a -wal on
        // that disk either), so it is read as it stands.
        if (access != Access::Read || asItStands || !walEmpty()) throw;
        open(true);
    }
}

void SqliteConnection::Open(Access access) {
    if (access == Access::Write && sqlite3_db_readonly(db_, "main") == 1) {
        throw SqlError(path_ + (::access(path_.c_str(), W_OK) != 0 ? ": файл журнала только для чтения"
                                                                     : ": в файл журнала нельзя записывать"));
    }
    CheckItIsAJournal(access);
    if (access == Access::Read) return;
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
        throw SqlError(path_ + ": журнал не переводится в режим WAL");
    // Every finished transaction reaches the disk: a record survives a power loss.
    Exec("PRAGMA synchronous=FULL");
    Exec("PRAGMA foreign_keys=ON");
}

void SqliteConnection::CheckItIsAJournal(Access access) {
    // The first read tells a database from any other file.
    const auto tables = Query("SELECT count(*), coalesce(sum(name IN ('runs', 'schema_version')), 0)"
                              " FROM sqlite_master WHERE type = 'table'");
    const auto id = Query("PRAGMA application_id");
    const int64_t appId = id.empty() || !id[0][0] ? 0 : std::strtoll(id[0][0]->c_str(), nullptr, 10);
    const long long all = std::strtoll(tables.at(0)[0].value_or("0").c_str(), nullptr, 10);
    const long long ours = std::strtoll(tables.at(0)[1].value_or("0").c_str(), nullptr, 10);
    if (appId == kJournalApplicationId) return;
    // A journal made before the mark existed has its two tables and no mark.
    const bool oldJournal = appId == 0 && ours == 2;
    const bool empty = appId == 0 && all == 0;
    if (!oldJournal && !empty)
        throw SqlError(path_ + ": это база данных другой программы, а не журнал; файл оставлен без изменений");
    if (access == Access::Write) Exec("PRAGMA application_id = " + std::to_string(kJournalApplicationId));
}

SqliteConnection::~SqliteConnection() { sqlite3_close(db_); }

std::string SqliteConnection::Error(const std::string& what) const {
    const std::string why = ResultText(sqlite3_extended_errcode(db_), sqlite3_system_errno(db_), sqlite3_errmsg(db_),
                                       Folder(path_));
    return path_ + ": " + why + (what.empty() ? "" : " [" + what + "]");
}

void SqliteConnection::Each(const std::string& sql, const std::vector<SqlValue>& params,
                            const std::function<void(const SqlRow&)>& row) {
    Statement st;
    if (sqlite3_prepare_v2(db_, sql.c_str(), int(sql.size()), &st.s, nullptr) != SQLITE_OK)
        throw SqlError(Error(""));
    for (size_t i = 0; i < params.size(); ++i) {
        const int k = int(i) + 1;
        int rc = SQLITE_OK;
        if (const auto* n = std::get_if<int64_t>(&params[i])) rc = sqlite3_bind_int64(st.s, k, *n);
        else if (const auto* t = std::get_if<std::string>(&params[i]))
            rc = sqlite3_bind_text(st.s, k, t->data(), int(t->size()), SQLITE_TRANSIENT);
        else rc = sqlite3_bind_null(st.s, k);
        if (rc != SQLITE_OK) throw SqlError(Error(""));
    }
    // One row for all of them: its strings keep their room from row to row.
    SqlRow out(size_t(sqlite3_column_count(st.s)));
    for (;;) {
        const int rc = sqlite3_step(st.s);
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW) throw SqlError(Error(""));
        for (int c = 0; c < int(out.size()); ++c) {
            auto& cell = out[size_t(c)];
            if (sqlite3_column_type(st.s, c) == SQLITE_NULL) {
                cell.reset();
                continue;
            }
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st.s, c));
            const size_t n = size_t(sqlite3_column_bytes(st.s, c));
            if (cell) cell->assign(text ? text : "", n);
            else cell.emplace(text ? text : "", n);
        }
        row(out);
    }
}

std::vector<SqlRow> SqliteConnection::Query(const std::string& sql, const std::vector<SqlValue>& params) {
    std::vector<SqlRow> rows;
    Each(sql, params, [&](const SqlRow& r) { rows.push_back(r); });
    return rows;
}

void SqliteConnection::Exec(const std::string& sql, const std::vector<SqlValue>& params) { Query(sql, params); }

void SqliteConnection::BackupTo(const std::string& target) {
    const std::string partial = target + ".part";
    sqlite3* out = nullptr;
    auto fail = [&](const std::string& why) {
        sqlite3_close(out);
        std::remove(partial.c_str());
        throw SqlError(target + ": " + why);
    };
    std::remove(partial.c_str());
    if (sqlite3_open_v2(partial.c_str(), &out, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
        fail(ResultText(sqlite3_extended_errcode(out), sqlite3_system_errno(out), sqlite3_errmsg(out), Folder(target)));
    sqlite3_backup* b = sqlite3_backup_init(out, "main", db_, "main");
    if (!b) fail(ResultText(sqlite3_extended_errcode(out), 0, sqlite3_errmsg(out), Folder(target)));
    // A few hundred pages at a time: a run writing meanwhile waits a moment at most.
    int rc = SQLITE_OK;
    do {
        rc = sqlite3_backup_step(b, 256);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
    sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE)
        fail(ResultText(rc, sqlite3_system_errno(out), sqlite3_errmsg(out), Folder(target)));
    // The copy is one file of its own: no -wal to carry beside it.
    if (sqlite3_exec(out, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(ResultText(sqlite3_extended_errcode(out), 0, sqlite3_errmsg(out), Folder(target)));
    sqlite3_close(out);
    out = nullptr;
    if (std::rename(partial.c_str(), target.c_str()) != 0) fail(SystemErrorText(errno));
}

void SqliteConnection::BeginExclusive() { Exec("BEGIN IMMEDIATE"); }
// Every transaction of the journal writes: take the write lock at once, so that two
// processes never both read and then fail to upgrade.
void SqliteConnection::Begin() { Exec("BEGIN IMMEDIATE"); }
void SqliteConnection::Commit() { Exec("COMMIT"); }
void SqliteConnection::Rollback() noexcept { sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr); }

} // namespace mrk::journal
