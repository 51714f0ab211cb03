// A factory number written into a module is reserved on the line exactly once,
// whatever happens around it: the way it is written (a cycle, the identity stamp),
// a record whose details the server refuses, an answer lost on the way back, a
// station joining with its backlog, a run still going, a station file that another
// program holds; and readers without write access see every committed record.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "journal/JournalRig.h"
#include "journal/ProductionJournal.h"
#include "journal/UtcTime.h"
#include "journal/Unprivileged.h"

namespace mrk::journal {
namespace {

using test::TestEngine;

// One station's journal as a front end holds it: what it said, and whether it asked.
struct Station {
    explicit Station(JournalSettings s) : journal(std::move(s)) {
        journal.say = [this](const std::string& line) { said += line + "\n"; };
        journal.confirmRedo = [this](const JournalRecord&) {
            ++asked;
            return answer;
        };
    }
    bool Cycle(uint16_t number, std::string& why, const std::string& bootPath = "boot-4620.hex") {
        JournalRecord rec = NewRun(RunKind::Cycle, number);
        rec.bootPath = bootPath;
        if (!journal.Start(rec, why)) return false;
        journal.Step(0, "очистка", true);
        journal.Step(3, "загрузчик", true);
        journal.Finish("OK");
        return true;
    }
    ProductionJournal journal;
    std::string said;
    int asked = 0;
    bool answer = false;
};

JournalSettings Settings(const std::string& file, const std::string& name, const std::string& server = "") {
    JournalSettings s;
    s.station = name;
    s.file = file;
    s.server = server;
    s.timeoutSeconds = 2;
    s.fileWaitMs = 100;
    return s;
}

// Two stations of one line: on SQLite they share one station file (two benches of
// a station), on the server each has its own file.
class TwoStations {
public:
    explicit TwoStations(TestEngine e) {
        if (e == TestEngine::Postgres) server_ = test::PgServer::Shared()->NewDatabase();
        a = std::make_unique<Station>(Settings(File("a"), "A", server_));
        b = std::make_unique<Station>(Settings(File("b"), "B", server_));
    }
    std::unique_ptr<Station> a, b;

private:
    std::string File(const char* name) const { return server_.empty() ? dir_.File() : dir_.File(name); }
    test::JournalDir dir_;
    std::string server_;
};

enum class Writer { Cycle, Stamp };
struct WriteCase {
    const char* name;
    Writer first, second;
};

bool Write(Station& st, Writer how, uint16_t number, std::string& why) {
    return how == Writer::Cycle ? st.Cycle(number, why) : st.journal.ReserveNumber(number, why);
}

class NumberOnceOnTheLine : public ::testing::TestWithParam<std::tuple<TestEngine, WriteCase>> {};

// Every way a number gets into a module reserves it the same way: whichever wrote
// it first, the other station's cycle or stamp is refused before the module is touched.
TEST_P(NumberOnceOnTheLine, SecondWriterIsRefused) {
    const auto [engine, c] = GetParam();
    if (engine == TestEngine::Postgres) MRK_REQUIRE_PG();
    TwoStations line(engine);
    std::string why;
    ASSERT_TRUE(Write(*line.a, c.first, 4321, why)) << why;
    EXPECT_FALSE(Write(*line.b, c.second, 4321, why)) << "4321 written twice";
    EXPECT_NE(why.find("4321"), std::string::npos) << why;
    EXPECT_NE(why.find("станция A"), std::string::npos) << why;
    EXPECT_EQ(line.b->asked, 1) << "the other station is asked whether it is the same module, and says no";
    // Another number is free for it.
    EXPECT_TRUE(Write(*line.b, c.second, 4322, why)) << why;
}

INSTANTIATE_TEST_SUITE_P(
    Writers, NumberOnceOnTheLine,
    ::testing::Combine(::testing::Values(TestEngine::Sqlite, TestEngine::Postgres),
                       ::testing::Values(WriteCase{"CycleThenCycle", Writer::Cycle, Writer::Cycle},
                                         WriteCase{"CycleThenStamp", Writer::Cycle, Writer::Stamp},
                                         WriteCase{"StampThenCycle", Writer::Stamp, Writer::Cycle},
                                         WriteCase{"StampThenStamp", Writer::Stamp, Writer::Stamp})),
    [](const auto& p) {
        return std::string(std::get<0>(p.param) == TestEngine::Sqlite ? "Sqlite" : "Postgres") + "_" +
               std::get<1>(p.param).name;
    });

class Reservation : public ::testing::TestWithParam<TestEngine> {};

// A reservation whose answer never reached the station is found as its own when
// asked again (the time-out case), and is never given to another record.
TEST_P(Reservation, AnswerLostOnTheWayIsTheRecordsOwn) {
    test::EngineJournal where(GetParam());
    if (GetParam() == TestEngine::Postgres) MRK_REQUIRE_PG();
    auto store = where.Store();
    JournalRecord rec = StartedRun(55, "A");
    ASSERT_TRUE(store->ReserveNumber(rec).opened);
    EXPECT_TRUE(store->ReserveNumber(rec).opened) << "asked again after a lost answer";
    JournalRecord other = rec;
    other.uid = NewUid();
    const OpenResult r = store->ReserveNumber(other);
    EXPECT_FALSE(r.opened);
    ASSERT_TRUE(r.holder.has_value());
    EXPECT_EQ(r.holder->uid, rec.uid);
}

// Many numbers at once: new ones reserved for their records, those already held
// left to their holders, a number claimed twice in one go given to the first claim.
TEST_P(Reservation, ManyAtOnceLeaveHeldNumbersToTheirHolders) {
    test::EngineJournal where(GetParam());
    if (GetParam() == TestEngine::Postgres) MRK_REQUIRE_PG();
    auto store = where.Store();
    JournalRecord held = StartedRun(2, "B");
    ASSERT_TRUE(store->ReserveNumber(held).opened);
    std::vector<NumberClaim> claims;
    for (uint16_t n = 1; n <= 5; ++n) claims.push_back({n, NewUid(), "A \"кавычки\" \\", "2026-12-01T10:00:00Z"});
    claims.push_back({3, NewUid(), "A", "2026-12-01T11:00:00Z"});
    EXPECT_EQ(store->ReserveNumbers(claims), 4);
    EXPECT_EQ(store->Holder(2)->uid, held.uid);
    EXPECT_EQ(store->Holder(3)->uid, claims[2].uid) << "the earlier claim of 3 holds it";
    EXPECT_EQ(store->Holder(5)->station, "A \"кавычки\" \\");
}

INSTANTIATE_TEST_SUITE_P(Engines, Reservation, ::testing::Values(TestEngine::Sqlite, TestEngine::Postgres),
                         test::EngineName);

class LineNumbers : public ::testing::Test {
protected:
    void SetUp() override {
        MRK_REQUIRE_PG();
        conninfo_ = test::PgServer::Shared()->NewDatabase();
        ASSERT_FALSE(conninfo_.empty());
    }
    std::string conninfo_;
    test::JournalDir dir_;
};

// Text the server will not store (a boot-loader path saved in cp1251): the record
// waits aside on the station, but its number is reserved on the line all the same.
TEST_F(LineNumbers, RecordRefusedByTheServerKeepsItsNumber) {
    const std::string cp1251Path = "C:\\\xc7\xe0\xe3\xf0\xf3\xe7\xf7\xe8\xea\\boot.hex";
    std::string why;
    {
        Station alone(Settings(dir_.File("a.db"), "A"));
        ASSERT_TRUE(alone.Cycle(60, why, cp1251Path)) << why;
    }
    Station a(Settings(dir_.File("a.db"), "A", conninfo_));
    const SyncReport rep = a.journal.Sync();
    EXPECT_EQ(rep.setAside, 1) << rep.error;
    // On the line already: the cycle's reservation comes before its record.
    ASSERT_TRUE(a.Cycle(61, why, cp1251Path)) << why;
    EXPECT_NE(a.said.find("не принял запись"), std::string::npos) << a.said;

    Station b(Settings(dir_.File("b.db"), "B", conninfo_));
    for (uint16_t n : {60, 61}) {
        EXPECT_FALSE(b.Cycle(n, why)) << n << " stamped twice";
        EXPECT_NE(why.find("уже использован"), std::string::npos) << why;
    }
}

// A station that stamped alone joins: its first run that reaches the server claims
// every number it stamped, before any more of its records are sent.
TEST_F(LineNumbers, JoiningStationClaimsItsWholeBacklogAtItsFirstRun) {
    const std::string fileA = dir_.File("a.db");
    {
        // 300 stamped alone, written straight into the station file.
        JournalStore alone(std::make_unique<SqliteConnection>(fileA));
        for (uint16_t n = 300; n < 600; ++n) {
            JournalRecord rec = StartedRun(n, "A");
            rec.endedUtc = rec.startedUtc;
            rec.result = "OK";
            (void)alone.Put(rec, false);
        }
    }
    Station a(Settings(fileA, "A", conninfo_));
    std::string why;
    ASSERT_TRUE(a.Cycle(1000, why)) << why;
    std::string error;
    EXPECT_GT(a.journal.Local(error)->CountUnsent(), 200) << "the details follow later, a few per run";

    Station b(Settings(dir_.File("b.db"), "B", conninfo_));
    for (uint16_t n : {300, 325, 599}) {
        EXPECT_FALSE(b.Cycle(n, why)) << n << " stamped twice";
        EXPECT_NE(why.find("станция A"), std::string::npos) << why;
    }
    EXPECT_TRUE(b.Cycle(600, why)) << why;
}

// The line's server restored from a dump older than the station's last runs has
// lost their reservations: the station's next whole sync claims them all again.
TEST_F(LineNumbers, ServerRestoredFromAnOlderBackupGetsTheNumbersBack) {
    std::string why;
    Station a(Settings(dir_.File("a.db"), "A", conninfo_));
    for (uint16_t n = 40; n < 45; ++n) ASSERT_TRUE(a.Cycle(n, why)) << why;
    {
        // What a restore from the morning's dump leaves: none of the day's numbers.
        PgConnection line(conninfo_);
        line.Exec("DELETE FROM factory_numbers");
        line.Exec("DELETE FROM runs");
    }
    EXPECT_TRUE(a.journal.Sync().error.empty());
    Station b(Settings(dir_.File("b.db"), "B", conninfo_));
    for (uint16_t n = 40; n < 45; ++n) EXPECT_FALSE(b.Cycle(n, why)) << n << " stamped twice";
}

// A module redone on a station alone (the operator's "same module", --same-module),
// once or again and again, then sent by journal sync: every redo names the record
// before it, so none is a conflict with its own module; another station still
// gets the number refused.
class RedoneAlone : public LineNumbers, public ::testing::WithParamInterface<int> {};

TEST_P(RedoneAlone, IsNoConflictWithItselfAfterSync) {
    const std::string fileA = dir_.File("a.db");
    std::string why;
    {
        Station alone(Settings(fileA, "A"));
        alone.answer = true;
        ASSERT_TRUE(alone.Cycle(70, why)) << why;
        for (int redo = 0; redo < GetParam(); ++redo) ASSERT_TRUE(alone.Cycle(70, why)) << why;
        ASSERT_EQ(alone.asked, GetParam());
    }
    Station a(Settings(fileA, "A", conninfo_));
    const SyncReport rep = a.journal.Sync();
    EXPECT_TRUE(rep.error.empty()) << rep.error;
    EXPECT_EQ(rep.sent, GetParam() + 1);
    EXPECT_EQ(rep.conflicts, 0) << a.said;
    ListFilter conflicts;
    conflicts.conflictsOnly = true;
    JournalStore line(std::make_unique<PgConnection>(conninfo_), JournalStore::Access::Read);
    EXPECT_TRUE(line.List(conflicts).empty());
    std::string error;
    EXPECT_TRUE(a.journal.Local(error)->List(conflicts).empty());
    // Sent again (a whole sync after a restore): still its own.
    EXPECT_EQ(a.journal.Sync().conflicts, 0);

    Station b(Settings(dir_.File("b.db"), "B", conninfo_));
    EXPECT_FALSE(b.Cycle(70, why)) << "70 stamped on another module";
}

INSTANTIATE_TEST_SUITE_P(Times, RedoneAlone, ::testing::Values(1, 2, 4),
                         [](const auto& p) { return "Redone" + std::to_string(p.param); });

// A server whose journal is of a newer program answers: that is a refusal with its
// reason, never "no connection".
TEST_F(LineNumbers, JournalOfAnotherVersionIsNotALostLine) {
    {
        PgConnection line(conninfo_);
        line.Exec("CREATE TABLE schema_version (version INTEGER NOT NULL)");
        line.Exec("INSERT INTO schema_version VALUES (99)");
    }
    Station a(Settings(dir_.File("a.db"), "A", conninfo_));
    std::string why;
    EXPECT_FALSE(a.Cycle(7, why));
    EXPECT_NE(why.find("Сервер журнала отказал"), std::string::npos) << why;
    EXPECT_NE(why.find("новее версии"), std::string::npos) << why;
    EXPECT_EQ(why.find("Нет связи"), std::string::npos) << why;
}

// An account that may only read the line's tables lists them.
TEST_F(LineNumbers, SelectOnlyAccountReadsTheLine) {
    std::string why;
    Station a(Settings(dir_.File("a.db"), "A", conninfo_));
    ASSERT_TRUE(a.Cycle(12, why)) << why;
    std::string schema = conninfo_.substr(conninfo_.rfind('=') + 1);
    schema.erase(std::remove_if(schema.begin(), schema.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }),
                 schema.end());
    const std::string role = "reader_" + schema;
    {
        PgConnection admin(conninfo_);
        admin.Exec("CREATE ROLE " + role + " LOGIN PASSWORD 'reads-only'");
        admin.Exec("GRANT USAGE ON SCHEMA " + schema + " TO " + role);
        admin.Exec("GRANT SELECT ON ALL TABLES IN SCHEMA " + schema + " TO " + role);
    }
    std::string readerConninfo = conninfo_;
    const size_t user = readerConninfo.find("user=");
    ASSERT_NE(user, std::string::npos) << conninfo_;
    readerConninfo.replace(user, readerConninfo.find(' ', user) - user, "user=" + role + " password=reads-only");
    JournalStore reader(std::make_unique<PgConnection>(readerConninfo), JournalStore::Access::Read);
    const auto all = reader.List({});
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].factoryNumber.value_or(0), 12);
}

// No client holds the line: one that took the migration lock and froze, or left a
// transaction open on a number and died, stops nobody for longer than its time-out.
TEST_F(LineNumbers, FrozenClientsDoNotHoldTheLine) {
    { JournalStore migrated(std::make_unique<PgConnection>(conninfo_)); }
    PgConnection frozen(conninfo_, 1);
    frozen.BeginExclusive(); // the migration lock, never let go of
    std::string why;
    Station b(Settings(dir_.File("b.db"), "B", conninfo_));
    EXPECT_TRUE(b.Cycle(5, why)) << why << "\n" << b.said;
    JournalStore reader(std::make_unique<PgConnection>(conninfo_, 1), JournalStore::Access::Read);
    EXPECT_EQ(reader.List({}).size(), 1u);
    frozen.Rollback();

    // A station that reserved 6 in a transaction and went silent mid-way.
    PgConnection stalled(conninfo_, 1);
    stalled.Begin();
    stalled.Exec("INSERT INTO factory_numbers (number, run_uid, station, reserved_utc) VALUES (6, 'x', 'C', 'now')");
    std::this_thread::sleep_for(std::chrono::milliseconds(2500)); // the server ends its idle transaction
    EXPECT_TRUE(b.Cycle(6, why)) << why << "\n" << b.said;
}

// A time-out bounds the wait for the server, not the length of a read: a reader
// that takes its rows slowly (a pager, a pipe) gets all of them.
TEST_F(LineNumbers, SlowReaderGetsEveryRow) {
    PgConnection db(conninfo_, 1);
    int rows = 0;
    db.Each("SELECT g, repeat('x', 400) FROM generate_series(1, 6000) g", {}, [&](const SqlRow&) {
        if (++rows % 2 == 0) std::this_thread::sleep_for(std::chrono::microseconds(700));
    });
    EXPECT_EQ(rows, 6000);
}

// Two windows of one station given the same number: while the first one's run is
// going, the second is refused outright (no question to answer wrongly); once that
// run has died without an end, the question is asked.
TEST(RunInProgress, LiveRunIsRefusedAndADeadOneIsAsked) {
    test::JournalDir dir;
    Station first(Settings(dir.File(), "ST"));
    Station second(Settings(dir.File(), "ST"));
    second.answer = true;
    std::string why;
    ASSERT_TRUE(first.journal.Start(NewRun(RunKind::Cycle, 1100), why)) << why;
    EXPECT_FALSE(second.journal.Start(NewRun(RunKind::Cycle, 1100), why));
    EXPECT_NE(why.find("сейчас программируется"), std::string::npos) << why;
    EXPECT_EQ(second.asked, 0);
    first.journal.Finish("OK");

    // A run killed mid-way: its process is gone, its record never ended.
    const pid_t pid = fork();
    if (pid == 0) {
        Station killed(Settings(dir.File(), "ST"));
        std::string w;
        _exit(killed.journal.Start(NewRun(RunKind::Cycle, 1101), w) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(second.journal.Start(NewRun(RunKind::Cycle, 1101), why)) << why;
    EXPECT_EQ(second.asked, 1) << "an abandoned run's number is asked about";
    EXPECT_TRUE(second.journal.Current().redoOf.has_value());
    second.journal.Finish("OK");
}

// Times in messages are the station's own clock, as its operator reads it.
TEST(RunInProgress, HolderTimeIsShownInLocalTime) {
    const char* before = std::getenv("TZ");
    const std::string saved = before ? before : "";
    setenv("TZ", "MSK-3", 1);
    tzset();
    EXPECT_EQ(LocalTimeText("2026-12-01T17:46:05Z"), "01.12.2026 20:46:05");
    EXPECT_EQ(LocalTimeText("не время"), "не время");
    if (before) setenv("TZ", saved.c_str(), 1);
    else unsetenv("TZ");
    tzset();
}

// A station file held by another program (a long export, a copy) when a run
// starts, in its middle or at its end: the run goes on, its steps wait in memory,
// and its record ends up whole and finished.
enum class LockAt { Start, MidRun, Finish };
enum class Fault { Lock, DiskFull };
struct LockCase {
    const char* name;
    LockAt at;
    RunKind kind;
    Fault fault = Fault::Lock;
};

// The station file's disk taken as full: no file of this process may grow past the
// size its -wal has now (the write fails as on a full disk; the signal is ignored).
class DiskFull {
public:
    explicit DiskFull(const std::string& file) : file_(file) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = signal(SIGXFSZ, SIG_IGN);
    }
    ~DiskFull() {
        Free();
        signal(SIGXFSZ, previous_);
    }
    void Fill() {
        std::error_code ec;
        rlimit r = saved_;
        r.rlim_cur = rlim_t(std::filesystem::file_size(file_ + "-wal", ec));
        setrlimit(RLIMIT_FSIZE, &r);
    }
    void Free() { setrlimit(RLIMIT_FSIZE, &saved_); }

private:
    std::string file_;
    rlimit saved_{};
    sighandler_t previous_ = SIG_DFL;
};

class StationFileHeld : public ::testing::TestWithParam<LockCase> {};

TEST_P(StationFileHeld, RecordIsFinishedNotAbandoned) {
    const LockCase c = GetParam();
    test::JournalDir dir;
    Station st(Settings(dir.File(), "ST"));
    {
        // The file made and known before anyone holds it.
        std::string error;
        ASSERT_NE(st.journal.Local(error), nullptr) << error;
    }
    SqliteConnection other(dir.File());
    DiskFull disk(dir.File());
    auto hold = [&] { c.fault == Fault::Lock ? other.Begin() : disk.Fill(); };
    auto letGo = [&] { c.fault == Fault::Lock ? other.Commit() : disk.Free(); };
    std::string why;
    if (c.at == LockAt::Start) hold();
    ASSERT_TRUE(st.journal.Start(NewRun(c.kind, c.kind == RunKind::Cycle ? std::optional<uint16_t>(5) : std::nullopt),
                                 why))
        << why;
    const std::string uid = st.journal.Current().uid;
    if (c.at == LockAt::MidRun) hold();
    st.journal.Log("первый шаг");
    st.journal.Step(0, "очистка", true);
    if (c.at != LockAt::Finish) letGo();
    st.journal.Step(3, "загрузчик", true);
    std::thread release;
    if (c.at == LockAt::Finish) {
        hold();
        // Let go while the end is waiting for the file.
        release = std::thread([&] {
            // Past the first try's own wait (the file's busy wait), within the second's.
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            letGo();
        });
    }
    st.journal.Finish("OK");
    if (release.joinable()) release.join();

    JournalStore view(std::make_unique<SqliteConnection>(dir.File(), SqliteConnection::Access::Read),
                      JournalStore::Access::Read);
    const auto rec = view.GetByUid(uid);
    ASSERT_TRUE(rec.has_value()) << st.said;
    EXPECT_NE(st.said.find("Журнал станции"), std::string::npos) << "the fault was never met";
    EXPECT_EQ(rec->result, "OK") << st.said;
    ASSERT_EQ(rec->steps.size(), 2u) << st.said;
    EXPECT_EQ(rec->steps[0].name, "очистка");
    EXPECT_EQ(rec->steps[1].name, "загрузчик");
    EXPECT_EQ(rec->log.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Moments, StationFileHeld,
                         ::testing::Values(LockCase{"UpdateStart", LockAt::Start, RunKind::Update},
                                           LockCase{"UpdateMidRun", LockAt::MidRun, RunKind::Update},
                                           LockCase{"UpdateFinish", LockAt::Finish, RunKind::Update},
                                           LockCase{"CycleMidRun", LockAt::MidRun, RunKind::Cycle},
                                           LockCase{"CycleFinish", LockAt::Finish, RunKind::Cycle},
                                           LockCase{"DiskFullUpdateStart", LockAt::Start, RunKind::Update, Fault::DiskFull},
                                           LockCase{"DiskFullMidRun", LockAt::MidRun, RunKind::Cycle, Fault::DiskFull},
                                           LockCase{"DiskFullFinish", LockAt::Finish, RunKind::Cycle, Fault::DiskFull}),
                         [](const auto& p) { return std::string(p.param.name); });

// A cycle of a station alone whose record cannot be started is not run: a module
// stamped with no record anywhere could not be found.
TEST(StationFileHeldAtStart, CycleAloneIsNotRunWithoutItsRecord) {
    test::JournalDir dir;
    Station st(Settings(dir.File(), "ST"));
    std::string error;
    ASSERT_NE(st.journal.Local(error), nullptr) << error;
    SqliteConnection other(dir.File());
    other.Begin();
    std::string why;
    EXPECT_FALSE(st.journal.Start(NewRun(RunKind::Cycle, 9), why));
    EXPECT_NE(why.find("цикл не запущен"), std::string::npos) << why;
    other.Commit();
    EXPECT_TRUE(st.Cycle(9, why)) << why;
}

// A station file held by another program when a cycle of a line's station starts:
// the cycle runs only once its record has started on the server, so a module it
// stamps is never without a record; a server that will not take the record (text
// in a wrong encoding) means no cycle.
struct HeldWithServer {
    const char* name;
    const char* bootPath;
    bool runs;
};

class StationFileHeldOnTheLine : public LineNumbers, public ::testing::WithParamInterface<HeldWithServer> {};

TEST_P(StationFileHeldOnTheLine, CycleRunsOnlyWithItsRecordOnTheServer) {
    const HeldWithServer c = GetParam();
    Station st(Settings(dir_.File("a.db"), "A", conninfo_));
    std::string error, why;
    ASSERT_NE(st.journal.Local(error), nullptr) << error;
    SqliteConnection other(dir_.File("a.db"));
    other.Begin();
    JournalRecord rec = NewRun(RunKind::Cycle, 62);
    rec.bootPath = c.bootPath;
    const bool started = st.journal.Start(rec, why);
    ASSERT_EQ(started, c.runs) << why << "\n" << st.said;
    JournalStore line(std::make_unique<PgConnection>(conninfo_), JournalStore::Access::Read);
    if (!c.runs) {
        EXPECT_NE(why.find("запись не начата, цикл не запущен"), std::string::npos) << why;
        EXPECT_TRUE(line.List({}).empty());
        other.Commit();
        return;
    }
    // Before the module is touched, its record is on the server.
    const auto onServer = line.GetByUid(st.journal.Current().uid);
    ASSERT_TRUE(onServer.has_value());
    EXPECT_EQ(onServer->factoryNumber.value_or(0), 62);
    st.journal.Step(0, "очистка", true);
    other.Commit();
    st.journal.Finish("OK");
    EXPECT_EQ(line.GetByUid(onServer->uid)->result, "OK");
    EXPECT_EQ(st.journal.Local(error)->GetByUid(onServer->uid)->result, "OK") << st.said;
}

INSTANTIATE_TEST_SUITE_P(
    Server, StationFileHeldOnTheLine,
    ::testing::Values(HeldWithServer{"TakesTheRecord", "boot-4620.hex", true},
                      HeldWithServer{"RefusesTheRecord", "C:\\\xc7\xe0\xe3\\boot.hex", false}),
    [](const auto& p) { return std::string(p.param.name); });

// A reader that cannot write the journal's folder still sees every record a run
// has committed (they are in the -wal file until the writer's checkpoint); where it
// cannot read them, it says so instead of showing fewer.
TEST(ReadOnlyReader, SeesRecordsStillInTheWal) {
    test::JournalDir dir;
    const std::string file = dir.File();
    JournalStore writer(std::make_unique<SqliteConnection>(file));
    writer.Db().Exec("PRAGMA wal_autocheckpoint = 0");
    for (uint16_t n = 1; n <= 5; ++n) {
        JournalRecord rec = StartedRun(n, "ST");
        ASSERT_TRUE(writer.Open(rec, true).opened);
    }
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    auto count = [&](std::string& error) -> int {
        try {
            JournalStore reader(std::make_unique<SqliteConnection>(file, SqliteConnection::Access::Read),
                                JournalStore::Access::Read);
            return int(reader.List({}).size());
        } catch (const std::exception& e) {
            error = e.what();
            return -1;
        }
    };
    std::string error;
    EXPECT_TRUE(test::AsUnprivileged([&] { return count(error) == 5; })) << "a read-only reader missed records";
    if (geteuid() != 0) return; // the rest needs another user's files
    ASSERT_EQ(chmod((file + "-shm").c_str(), 0600), 0);
    EXPECT_TRUE(test::AsUnprivileged([&] {
        std::string e;
        return count(e) == -1 && e.find("последние записи прочитать нельзя") != std::string::npos;
    }));
}

} // namespace
} // namespace mrk::journal
