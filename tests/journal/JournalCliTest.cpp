// mrkprog journal: list, show, export and sync as a production manager runs them.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <optional>

#include "cli/RunMrkprog.h"
#include "journal/JournalRig.h"
#include "journal/ProductionJournal.h"

namespace mrk::journal {
namespace {

using test::RunMrkprog;

class JournalCli : public ::testing::Test {
protected:
    void WriteSettings(const std::string& server = "") {
        std::ofstream ini(dir_.Path() / "mrkprog.ini");
        ini << "[Journal]\nStation=Линия-1\n";
        if (!server.empty()) ini << "Server=" << server << "\n";
    }
    // Records as two stations' runs would leave them, in the default file beside the settings.
    void Fill(const std::string& server = "") {
        JournalSettings s;
        s.station = "Линия-1";
        s.file = (dir_.Path() / "mrkprog-journal.db").string();
        s.server = server;
        ProductionJournal j(s);
        std::string why;
        for (uint16_t n : {101, 102, 103}) {
            JournalRecord r;
            // Away from the server only updates run; they carry the number the module answered with.
            r.kind = server.empty() ? RunKind::Cycle : RunKind::Update;
            r.factoryNumber = n;
            r.chip = "PIC18F4620";
            r.bootPath = "boot, \"demo\".hex";
            r.config = {0x00, 0x22};
            ASSERT_TRUE(j.Start(r, why)) << why;
            j.Log("Номер модуля OK.");
            j.Step(3, "WriteBoot", n != 102);
            if (n != 103) j.Finish(n == 102 ? "X" : "OK"); // 103 was killed
        }
    }
    test::JournalDir dir_;
};

TEST_F(JournalCli, ListShowAndFilter) {
    WriteSettings();
    Fill();
    auto r = RunMrkprog("journal list", dir_.Path());
    ASSERT_EQ(r.code, 0) << r.err;
    for (const char* s : {"101", "102", "103", "Линия-1", "не закончена", "Записей: 3"}) EXPECT_TRUE(r.Has(s)) << s;

    r = RunMrkprog("journal list --failed", dir_.Path());
    EXPECT_TRUE(r.Has("Записей: 2")) << r.out;
    EXPECT_FALSE(r.Has(" 101 "));
    r = RunMrkprog("journal list --number 102", dir_.Path());
    EXPECT_TRUE(r.Has("Записей: 1")) << r.out;
    r = RunMrkprog("journal list --since 2999-01-01", dir_.Path());
    EXPECT_TRUE(r.Has("Записей: 0")) << r.out;

    r = RunMrkprog("journal show 2", dir_.Path());
    ASSERT_EQ(r.code, 0) << r.err;
    for (const char* s : {"102", "Итог", "X", "WriteBoot", "Номер модуля OK.", "00 22"}) EXPECT_TRUE(r.Has(s)) << s;
}

TEST_F(JournalCli, BadArgumentsAreNamed) {
    WriteSettings();
    Fill();
    struct Case {
        const char* args;
        int code;
        const char* err;
    };
    const Case cases[] = {
        {"journal list --since yesterday", 2, "не дата"},
        {"journal list --number 70000", 2, "70000"},
        {"journal show 99", 1, "записи 99 нет"},
        {"journal show", 2, "укажите запись"},
        {"journal export", 2, "--csv FILE"},
        {"journal sync", 2, "не указан сервер"},
        {"journal drop", 2, "drop"},
    };
    for (const auto& c : cases) {
        const auto r = RunMrkprog(c.args, dir_.Path());
        EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.err;
        EXPECT_TRUE(r.ErrHas(c.err)) << c.args << "\n" << r.err;
    }
}

TEST_F(JournalCli, ExportIsASpreadsheetTable) {
    WriteSettings();
    Fill();
    const auto r = RunMrkprog("journal export --csv out.csv", dir_.Path());
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string csv = test::ReadAll(dir_.Path() / "out.csv");
    ASSERT_EQ(csv.rfind("\xEF\xBB\xBFid,kind,station", 0), 0u) << csv.substr(0, 40);
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 4);
    EXPECT_NE(csv.find(",\"boot, \"\"demo\"\".hex\","), std::string::npos) << "quoted as RFC 4180 says";
    EXPECT_NE(csv.find(",не закончена,103,"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "out.csv.part"));

    const auto bad = RunMrkprog("journal export --csv no-such-folder/out.csv", dir_.Path());
    EXPECT_EQ(bad.code, 1);
    EXPECT_TRUE(bad.ErrHas("файл no-such-folder/out.csv не записан: нет такого файла или папки")) << bad.err;
}

TEST_F(JournalCli, ExportLeavesLinksAtTemporaryNamesAlone) {
    WriteSettings();
    Fill();
    const auto victim = dir_.Path() / "victim.txt";
    std::ofstream(victim) << "keep";
    for (const char* name : {"out.csv.part", ".out.csv.tmp"})
        std::filesystem::create_symlink(victim, dir_.Path() / name);
    const auto r = RunMrkprog("journal export --csv out.csv", dir_.Path());
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(test::ReadAll(victim), "keep");
    EXPECT_EQ(test::ReadAll(dir_.Path() / "out.csv").rfind("\xEF\xBB\xBFid,kind,station", 0), 0u);
}

TEST_F(JournalCli, SyncSendsWaitingRecordsToTheServer) {
    MRK_REQUIRE_PG();
    auto* server = test::PgServer::Shared();
    const std::string conninfo = server->NewDatabase();
    ASSERT_TRUE(server->Stop());
    Fill("host=" + dir_.Path().string() + " dbname=none"); // no server answers there
    WriteSettings(conninfo);
    ASSERT_TRUE(server->Start());

    auto r = RunMrkprog("journal list", dir_.Path());
    EXPECT_TRUE(r.Has("Записей: 0")) << r.out << r.err;
    r = RunMrkprog("journal sync", dir_.Path());
    ASSERT_EQ(r.code, 0) << r.err;
    // 103 was killed a moment ago: it may still be running, so it waits on the station.
    EXPECT_TRUE(r.Has("Отправлено записей: 2, ожидают: 1")) << r.out;
    r = RunMrkprog("journal list", dir_.Path());
    EXPECT_TRUE(r.Has("Записей: 2")) << r.out;
    r = RunMrkprog("journal list --waiting", dir_.Path());
    EXPECT_TRUE(r.Has("Записей: 1")) << r.out;
    EXPECT_TRUE(r.Has(" 103 ")) << r.out;
    r = RunMrkprog("journal list --local", dir_.Path());
    EXPECT_TRUE(r.Has("Записей: 3")) << r.out;

    ASSERT_TRUE(server->Stop());
    r = RunMrkprog("journal list", dir_.Path());
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.ErrHas("показан журнал этой станции")) << r.err;
    r = RunMrkprog("journal sync", dir_.Path());
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.Has("ожидают: 1")) << r.out;
    ASSERT_TRUE(server->Start());
}

// A backup taken while the window has the journal open holds every record,
// those still in the -wal file too (a plain copy of the .db would hold none of them).
TEST_F(JournalCli, BackupWhileTheJournalIsOpenHoldsEveryRecord) {
    WriteSettings();
    const std::string file = (dir_.Path() / "mrkprog-journal.db").string();
    JournalStore writer(std::make_unique<SqliteConnection>(file));
    writer.Db().Exec("PRAGMA wal_autocheckpoint = 0");
    for (uint16_t n = 1; n <= 5; ++n) {
        JournalRecord r = StartedRun(n, "Линия-1");
        ASSERT_TRUE(writer.Open(r, true).opened);
    }
    const auto r = RunMrkprog("journal backup copy.db", dir_.Path());
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(r.Has("записей: 5")) << r.out;
    JournalStore copy(std::make_unique<SqliteConnection>((dir_.Path() / "copy.db").string(),
                                                         SqliteConnection::Access::Read),
                      JournalStore::Access::Read);
    EXPECT_EQ(copy.List({}).size(), 5u);
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "copy.db-wal"));
    EXPECT_EQ(RunMrkprog("journal backup", dir_.Path()).code, 2);
}

// A station name or a log line holding a terminal's escape sequences (typed into a
// settings file, or planted) is printed harmlessly: no control character reaches the terminal.
TEST_F(JournalCli, EscapeSequencesReachNoTerminal) {
    WriteSettings();
    JournalSettings s;
    s.station = "ST\x1b]0;pwned\x07\x1b[2J\xc2\x9b" "31m";
    s.file = (dir_.Path() / "mrkprog-journal.db").string();
    ProductionJournal j(s);
    std::string why;
    ASSERT_TRUE(j.Start(NewRun(RunKind::Update), why)) << why;
    j.Log("строка\x1b[1A\rподменена");
    j.Step(5, "шаг\x1b[31m", true);
    j.Finish("OK");
    for (const std::string args : {"journal list", "journal summary --by station"}) {
        const auto r = RunMrkprog(args, dir_.Path());
        ASSERT_EQ(r.code, 0) << args << r.err;
        for (char c : r.out) EXPECT_FALSE((unsigned char)c < 0x20 && c != '\n') << args << ": " << int(c);
        EXPECT_EQ(r.out.find("\xc2\x9b"), std::string::npos) << args;
        EXPECT_NE(r.out.find("ST?]0;pwned??[2J?31m"), std::string::npos) << args << r.out;
    }
    auto list = RunMrkprog("journal list", dir_.Path());
    const std::string id = list.out.substr(list.out.find('\n') + 1, 12);
    const auto show = RunMrkprog("journal show " + id, dir_.Path());
    ASSERT_EQ(show.code, 0) << show.err;
    for (char c : show.out) EXPECT_FALSE((unsigned char)c < 0x20 && c != '\n') << int(c);
    EXPECT_NE(show.out.find("строка?[1A?подменена"), std::string::npos) << show.out;
}

// The station's disk full (no file may grow at all) while the manager reads the
// journal: list and show read every record, whether the window still has the file
// open (its records in the -wal file) or not, and no file of the read grows.
struct FullDiskRead {
    const char* name;
    bool writerOpen;
    const char* args;
    const char* expect;
};

class JournalOnFullDisk : public JournalCli, public ::testing::WithParamInterface<FullDiskRead> {};

TEST_P(JournalOnFullDisk, IsReadWhole) {
    const FullDiskRead c = GetParam();
    WriteSettings();
    std::optional<ProductionJournal> writer;
    {
        JournalSettings s;
        s.station = "Линия-1";
        s.file = (dir_.Path() / "mrkprog-journal.db").string();
        writer.emplace(s);
        std::string why;
        for (uint16_t n : {201, 202, 203}) {
            ASSERT_TRUE(writer->Start(NewRun(RunKind::Cycle, n), why)) << why;
            writer->Step(3, "WriteBoot", true);
            writer->Finish("OK");
        }
    }
    if (!c.writerOpen) writer.reset();
    const auto before = [&] {
        std::map<std::string, uintmax_t> sizes;
        for (const auto& e : std::filesystem::directory_iterator(dir_.Path()))
            if (e.is_regular_file()) sizes[e.path().filename()] = e.file_size();
        return sizes;
    }();
    // The command's own files may not grow; its output goes through a pipe to a
    // process without the limit.
    const auto out = dir_.Path() / "full-disk.txt";
    const std::string cmd = "cd '" + dir_.Path().string() + "' && (ulimit -f 0; '" MRKPROG_PATH "' " + c.args +
                            " 2>&1; echo \"exit=$?\") | cat >'" + out.string() + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::string said = test::ReadAll(out);
    EXPECT_NE(said.find("exit=0"), std::string::npos) << said;
    EXPECT_NE(said.find(c.expect), std::string::npos) << said;
    for (const auto& [name, size] : before)
        EXPECT_EQ(std::filesystem::file_size(dir_.Path() / name), size) << name << " grew on a full disk";
}

INSTANTIATE_TEST_SUITE_P(
    Reads, JournalOnFullDisk,
    ::testing::Values(FullDiskRead{"ListWhileTheWindowWrites", true, "journal list --local", "Записей: 3"},
                      FullDiskRead{"ShowWhileTheWindowWrites", true, "journal show 3", "203"},
                      FullDiskRead{"ListAfterTheShift", false, "journal list --local", "Записей: 3"},
                      FullDiskRead{"ShowAfterTheShift", false, "journal show 3", "203"},
                      FullDiskRead{"Summary", true, "journal summary", "3"}),
    [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace mrk::journal
