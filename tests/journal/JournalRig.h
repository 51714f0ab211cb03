#pragma once
// Journals for the tests: a station file in a fresh folder, or a fresh database
// on the private server; the same tests run against both engines.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "journal/JournalStore.h"
#include "journal/PgConnection.h"
#include "journal/PgServer.h"
#include "journal/SqliteConnection.h"

namespace mrk::journal {

// A run's record as a front end opens it.
inline JournalRecord NewRun(RunKind kind, std::optional<uint16_t> number = std::nullopt) {
    JournalRecord r;
    r.kind = kind;
    r.factoryNumber = number;
    r.chip = "PIC18F452";
    return r;
}

// The same with its identity and start filled in, as the journal stores a run it began.
inline JournalRecord StartedRun(uint16_t number, const std::string& station) {
    JournalRecord r = NewRun(RunKind::Cycle, number);
    r.uid = NewUid();
    r.station = station;
    r.startedUtc = UtcNow();
    return r;
}

} // namespace mrk::journal

namespace mrk::test {

class JournalDir {
public:
    JournalDir() {
        char tmpl[] = "/tmp/mrk-journal-XXXXXX";
        path_ = mkdtemp(tmpl);
    }
    ~JournalDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string File(const std::string& name = "journal.db") const { return (path_ / name).string(); }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Skips the current test when the server cannot run here.
#define MRK_REQUIRE_PG()                                                          \
    do {                                                                          \
        if (!::mrk::test::PgServer::Shared())                                     \
            GTEST_SKIP() << ::mrk::test::PgServer::SkipReason();                  \
    } while (0)

enum class TestEngine { Sqlite, Postgres };

inline std::string EngineName(const ::testing::TestParamInfo<TestEngine>& p) {
    return p.param == TestEngine::Sqlite ? "Sqlite" : "Postgres";
}

// A place for one test's journal on the engine of the test's parameter.
class EngineJournal {
public:
    explicit EngineJournal(TestEngine e) : engine_(e) {
        if (e == TestEngine::Postgres && PgServer::Shared()) conninfo_ = PgServer::Shared()->NewDatabase();
    }
    bool Available() const { return engine_ == TestEngine::Sqlite || !conninfo_.empty(); }
    std::unique_ptr<journal::SqlConnection> Connect() const {
        if (engine_ == TestEngine::Sqlite) return std::make_unique<journal::SqliteConnection>(dir_.File());
        return std::make_unique<journal::PgConnection>(conninfo_);
    }
    std::unique_ptr<journal::JournalStore> Store() const {
        return std::make_unique<journal::JournalStore>(Connect());
    }
    const std::string& Conninfo() const { return conninfo_; }
    std::string File() const { return dir_.File(); }

private:
    TestEngine engine_;
    JournalDir dir_;
    std::string conninfo_;
};

} // namespace mrk::test
