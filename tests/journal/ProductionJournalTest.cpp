// The journal as the commands meet it: station file and server together, a
// server that is away or goes away, files and servers that are not right.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "journal/JournalRig.h"
#include "journal/ProductionJournal.h"
#include "journal/Unprivileged.h"

namespace mrk::journal {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// One journal as a front end holds it, with what it said to the operator.
struct Station {
    explicit Station(JournalSettings s) : journal(std::move(s)) {
        journal.say = [this](const std::string& line) { said += line + "\n"; };
    }
    // A whole update run: two steps, ending OK.
    bool Update(std::string& why) {
        if (!journal.Start(NewRun(RunKind::Update), why)) return false;
        journal.Log("Запись закончена.");
        journal.Step(5, "запись обновления", true);
        journal.Log("КС Программы OK.");
        journal.Step(7, "контрольная сумма", true);
        journal.Finish("OK");
        return true;
    }
    ProductionJournal journal;
    std::string said;
};

JournalSettings OneStation(const std::string& file, const std::string& name = "ST1") {
    JournalSettings s;
    s.station = name;
    s.file = file;
    return s;
}

TEST(OneStation, CycleReservesItsNumberAndAsksBeforeARedo) {
    test::JournalDir dir;
    Station st(OneStation(dir.File()));
    std::string why;
    ASSERT_TRUE(st.journal.Start(NewRun(RunKind::Cycle, 1234), why)) << why;
    const std::string firstUid = st.journal.Current().uid;
    st.journal.Step(0, "очистка", true);
    st.journal.Finish("OK");

    int asked = 0;
    st.journal.confirmRedo = [&](const JournalRecord& holder) {
        ++asked;
        EXPECT_EQ(holder.uid, firstUid);
        return false;
    };
    EXPECT_FALSE(st.journal.Start(NewRun(RunKind::Cycle, 1234), why));
    EXPECT_EQ(asked, 1);
    EXPECT_NE(why.find("Заводской номер 1234 уже использован"), std::string::npos) << why;
    EXPECT_NE(why.find("станция ST1"), std::string::npos) << why;

    st.journal.confirmRedo = [](const JournalRecord&) { return true; };
    ASSERT_TRUE(st.journal.Start(NewRun(RunKind::Cycle, 1234), why)) << why;
    EXPECT_EQ(st.journal.Current().redoOf, firstUid);
    st.journal.Finish("X");

    std::string error;
    const auto all = st.journal.Local(error)->List({}, true);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].steps.size(), 1u);
    EXPECT_EQ(all[1].redoOf, firstUid);
    EXPECT_EQ(all[1].result, "X");
}

// A file that is not a journal: the update goes on, the cycle cannot reserve,
// and the file is left exactly as it was.
TEST(OneStation, FileThatIsNotADatabaseIsLeftAlone) {
    test::JournalDir dir;
    const std::string file = dir.File("mrkprog-journal.db");
    std::string junk = "Это не журнал, а заметки оператора.\n";
    for (int i = 0; i < 300; ++i) junk += char(i);
    std::ofstream(file, std::ios::binary) << junk;

    Station st(OneStation(file));
    std::string why;
    EXPECT_TRUE(st.Update(why));
    EXPECT_NE(st.said.find("Журнал станции недоступен"), std::string::npos) << st.said;
    EXPECT_NE(st.said.find("файл не является базой данных журнала"), std::string::npos) << st.said;
    EXPECT_FALSE(st.journal.Start(NewRun(RunKind::Cycle, 5), why));
    EXPECT_NE(why.find("номер 5 не зарезервирован, цикл не запущен"), std::string::npos) << why;
    EXPECT_EQ(ReadFile(file), junk);
}

TEST(OneStation, ReadOnlyJournalSaysSoAndKeepsItsRecords) {
    test::JournalDir dir;
    const std::string file = dir.File();
    {
        Station st(OneStation(file));
        std::string why;
        ASSERT_TRUE(st.Update(why));
    }
    const std::string before = ReadFile(file);
    ASSERT_EQ(chmod(file.c_str(), 0444), 0);
    ASSERT_EQ(chmod(dir.Path().c_str(), 0777), 0);
    const bool held = test::AsUnprivileged([&] {
        Station st(OneStation(file));
        std::string why;
        const bool updateWent = st.Update(why);
        const bool cycleRefused = !st.journal.Start(NewRun(RunKind::Cycle, 9), why);
        return updateWent && cycleRefused && st.said.find("только для чтения") != std::string::npos &&
               why.find("не зарезервирован") != std::string::npos;
    });
    EXPECT_TRUE(held);
    EXPECT_EQ(ReadFile(file), before);
    ASSERT_EQ(chmod(file.c_str(), 0644), 0);
    std::string error;
    ProductionJournal again(OneStation(file));
    EXPECT_EQ(again.Local(error)->List({}).size(), 1u) << error;
}

TEST(OneStation, MissingFolderIsNamed) {
    test::JournalDir dir;
    Station st(OneStation(dir.File("no-such-folder/journal.db")));
    std::string why;
    EXPECT_TRUE(st.Update(why));
    EXPECT_NE(st.said.find("no-such-folder"), std::string::npos) << st.said;
}

// ---- a line of stations with a server

class LineTest : public ::testing::Test {
protected:
    void SetUp() override {
        MRK_REQUIRE_PG();
        server_ = test::PgServer::Shared();
        ASSERT_TRUE(server_->Start());
        conninfo_ = server_->NewDatabase();
        ASSERT_FALSE(conninfo_.empty());
    }
    void TearDown() override {
        if (server_) server_->Start(); // whatever the test did, the next one finds it running
    }
    JournalSettings Line(const std::string& file, const std::string& station, const std::string& server) {
        JournalSettings s = OneStation(file, station);
        s.server = server;
        return s;
    }
    test::PgServer* server_ = nullptr;
    std::string conninfo_;
    test::JournalDir dir_;
};

TEST_F(LineTest, NumberTakenOnOneStationIsRefusedOnAnother) {
    Station a(Line(dir_.File("a.db"), "A", conninfo_)), b(Line(dir_.File("b.db"), "B", conninfo_));
    std::string why;
    ASSERT_TRUE(a.journal.Start(NewRun(RunKind::Cycle, 31), why)) << why;
    EXPECT_FALSE(b.journal.Start(NewRun(RunKind::Cycle, 31), why));
    EXPECT_NE(why.find("станция A"), std::string::npos) << why;
    EXPECT_NE(why.find("не закончена"), std::string::npos) << "A is still running: " << why;
    a.journal.Finish("OK");
    // A's station keeps its own copy, already on the server.
    std::string error;
    const auto local = a.journal.Local(error)->List({});
    ASSERT_EQ(local.size(), 1u);
    EXPECT_TRUE(a.journal.Local(error)->Unsent().empty());
    EXPECT_EQ(a.journal.Server(error)->List({}).size(), 1u);
}

TEST_F(LineTest, ServerAwayUpdateGoesOnCycleRefusedSyncSendsLater) {
    ASSERT_TRUE(server_->Stop());
    Station st(Line(dir_.File(), "ST1", conninfo_));
    std::string why;
    ASSERT_TRUE(st.Update(why));
    EXPECT_NE(st.said.find("Сервер журнала недоступен"), std::string::npos) << st.said;
    EXPECT_FALSE(st.journal.Start(NewRun(RunKind::Cycle, 77), why));
    EXPECT_NE(why.find("Нет связи с сервером журнала"), std::string::npos) << why;
    EXPECT_NE(why.find("цикл не запущен"), std::string::npos) << why;

    SyncReport rep = st.journal.Sync();
    EXPECT_EQ(rep.sent, 0);
    EXPECT_EQ(rep.waiting, 1);
    EXPECT_FALSE(rep.error.empty());

    ASSERT_TRUE(server_->Start());
    rep = st.journal.Sync();
    EXPECT_EQ(rep.sent, 1) << rep.error;
    EXPECT_EQ(rep.waiting, 0);
    std::string error;
    const auto onServer = st.journal.Server(error)->List({}, true);
    ASSERT_EQ(onServer.size(), 1u) << error;
    EXPECT_EQ(onServer[0].result, "OK");
    EXPECT_EQ(onServer[0].steps.size(), 2u);
    EXPECT_EQ(st.journal.Server(error)->Get(onServer[0].id)->log.size(), 2u);
    EXPECT_EQ(st.journal.Sync().sent, 0) << "nothing sent twice";
}

TEST_F(LineTest, RunEndingWithTheServerBackSendsWhatWaited) {
    Station st(Line(dir_.File(), "ST1", conninfo_));
    std::string why;
    ASSERT_TRUE(server_->Stop());
    ASSERT_TRUE(st.Update(why));
    ASSERT_TRUE(st.Update(why));
    ASSERT_TRUE(server_->Start());
    ASSERT_TRUE(st.Update(why));
    std::string error;
    EXPECT_EQ(st.journal.Server(error)->List({}).size(), 3u) << error;
    EXPECT_TRUE(st.journal.Local(error)->Unsent().empty());
}

TEST_F(LineTest, ServerStoppedMidRunRecordFinishedLocallyAndSyncedWhole) {
    Station st(Line(dir_.File(), "ST1", conninfo_));
    std::string why;
    ASSERT_TRUE(st.journal.Start(NewRun(RunKind::Update), why)) << why;
    const std::string uid = st.journal.Current().uid;
    st.journal.Log("line 1");
    st.journal.Step(3, "ожидание модуля", true);
    ASSERT_TRUE(server_->Stop());
    st.journal.Log("line 2");
    st.journal.Step(5, "запись обновления", true);
    st.journal.Log("КС Программы OK.");
    st.journal.Step(7, "контрольная сумма", true);
    st.journal.Finish("OK");
    EXPECT_NE(st.said.find("Сервер журнала недоступен"), std::string::npos) << st.said;

    std::string error;
    const auto local = st.journal.Local(error)->GetByUid(uid);
    ASSERT_TRUE(local);
    EXPECT_EQ(local->result, "OK");
    EXPECT_EQ(local->steps.size(), 3u);

    ASSERT_TRUE(server_->Start());
    {
        // Before the sync the server holds only what it got before it stopped.
        JournalStore peek(std::make_unique<PgConnection>(conninfo_));
        const auto partial = peek.GetByUid(uid);
        ASSERT_TRUE(partial);
        EXPECT_FALSE(partial->Finished());
        EXPECT_EQ(partial->steps.size(), 1u);
    }
    EXPECT_EQ(st.journal.Sync().sent, 1);
    const auto synced = st.journal.Server(error)->GetByUid(uid);
    ASSERT_TRUE(synced) << error;
    EXPECT_EQ(synced->result, "OK");
    EXPECT_EQ(synced->steps.size(), 3u);
    EXPECT_EQ(synced->log, (std::vector<std::string>{"line 1", "line 2", "КС Программы OK."}));
    EXPECT_EQ(st.journal.Server(error)->List({}).size(), 1u);
}

TEST_F(LineTest, WrongConnectionStringAndRefusedLoginAreNamed) {
    struct Case {
        std::string server;
        const char* expect;
    };
    const Case cases[] = {
        {"this is not a connection string", "строка подключения к серверу журнала неверна"},
        {"host=" + server_->SocketDir() + " dbname=postgres user=clerk password=wrong-password",
         "сервер не принял пароль пользователя"},
        {"host=" + dir_.Path().string() + " dbname=postgres", "сервер не запущен: нет его сокета"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.server);
        Station st(Line(dir_.File(), "ST1", c.server));
        std::string why;
        EXPECT_TRUE(st.Update(why)) << "the update never waits for the journal";
        EXPECT_NE(st.said.find(c.expect), std::string::npos) << st.said;
        EXPECT_EQ(st.said.find("wrong-password"), std::string::npos) << "passwords are never shown";
        EXPECT_FALSE(st.journal.Start(NewRun(RunKind::Cycle, 12), why));
        EXPECT_NE(why.find(c.expect), std::string::npos) << why;
    }
    // The right password gets in, and the records are there.
    Station st(Line(dir_.File("ok.db"), "ST1",
                    server_->ConninfoWithPassword("postgres", test::PgServer::kRightPassword) + " " +
                        conninfo_.substr(conninfo_.find("options="))));
    std::string why;
    ASSERT_TRUE(st.journal.Start(NewRun(RunKind::Cycle, 12), why)) << why;
    st.journal.Finish("OK");
    EXPECT_EQ(st.said, "");
}

} // namespace
} // namespace mrk::journal
