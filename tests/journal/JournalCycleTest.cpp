// The journal with the real commands: two benches racing for one factory
// number, a cycle killed mid-run, a server that stops in the middle of an update.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "app/JournalObserver.h"
#include "app/MainCommands.h"
#include "app/PlainControls.h"
#include "cli/RunMrkprog.h"
#include "core/Context.h"
#include "core/FileBytes.h"
#include "core/Sha256.h"
#include "app/ChipRoutines.h"
#include "journal/JournalRig.h"
#include "sim/Bench.h"
#include "support/RecordingHost.h"

extern char** environ;

namespace mrk::journal {
namespace {

using test::RunMrkprog;
using test::TestEngine;

const std::string kFw = MRK_FIRMWARE_DIR;

void WriteSettings(const std::filesystem::path& dir, const std::string& journal) {
    std::ofstream(dir / "mrkprog.ini") << "[Form_Param]\nEdit2=" << kFw << "/boot-4620.hex\nEdit5=" << kFw
                                       << "/boot-452.hex\nConfigChip=261\n[Journal]\nBench=1\n" << journal;
}

// The journal a run in the folder keeps when its settings do not name one.
std::string StationJournal(const std::filesystem::path& dir) { return (dir / "journal" / "mrkprog-journal.db").string(); }

class TwoBenches : public ::testing::TestWithParam<TestEngine> {};

// Two stations (or two benches of one station) start a cycle on the same number
// at the same moment: exactly one stamps it; the other's module is not touched.
TEST_P(TwoBenches, SameNumberAtOnceStampsOneModule) {
    if (GetParam() == TestEngine::Postgres) MRK_REQUIRE_PG();
    test::JournalDir shared;
    test::TempDir a, b, reference;
    std::string journalA = "Station=A\n", journalB = "Station=B\n";
    if (GetParam() == TestEngine::Sqlite) {
        journalA += "File=" + shared.File() + "\n";
        journalB += "File=" + shared.File() + "\n";
    } else {
        const std::string server = test::PgServer::Shared()->NewDatabase();
        journalA += "Server=" + server + "\n";
        journalB += "Server=" + server + "\n";
    }
    WriteSettings(a.Path(), journalA);
    WriteSettings(b.Path(), journalB);
    // A blank module as it is before anyone touches it.
    ASSERT_EQ(RunMrkprog("--bench virtual-lpt --module module.hex devid", reference.Path()).code, 0);

    test::RunResult ra, rb;
    const std::string cycle = "--bench virtual-lpt --module module.hex cycle 777";
    std::thread ta([&] { ra = RunMrkprog(cycle, a.Path()); });
    std::thread tb([&] { rb = RunMrkprog(cycle, b.Path()); });
    ta.join();
    tb.join();

    ASSERT_EQ((ra.code == 0) + (rb.code == 0), 1) << "A:\n" << ra.out << ra.err << "\nB:\n" << rb.out << rb.err;
    const auto& won = ra.code == 0 ? ra : rb;
    const auto& lost = ra.code == 0 ? rb : ra;
    const auto& wonDir = ra.code == 0 ? a : b;
    const auto& lostDir = ra.code == 0 ? b : a;
    EXPECT_TRUE(won.Has("Номер модуля OK.\nOK\n")) << won.out;
    // Refused as used, or, while the winner's run is still going on this station, as being programmed.
    EXPECT_TRUE(lost.Has("Заводской номер 777 уже использован") ||
                lost.Has("Заводской номер 777 сейчас программируется"))
        << lost.out;
    EXPECT_FALSE(lost.Has("Конфигурация OK")) << lost.out;
    EXPECT_EQ(test::ReadAll(lostDir.Path() / "module.hex"), test::ReadAll(reference.Path() / "module.hex"))
        << "the refused module is left as it was";
    const auto id = RunMrkprog("--bench virtual-lpt --module module.hex id read", wonDir.Path());
    EXPECT_TRUE(id.Has("d[1]=309 ")) << id.out;

    // The journal holds one record of the number, finished OK.
    const auto list = RunMrkprog("journal list --number 777", wonDir.Path());
    EXPECT_TRUE(list.Has("Записей: 1")) << list.out << list.err;
    EXPECT_TRUE(list.Has("OK")) << list.out;

    // The loser's operator confirms it is the same module after all: it is redone.
    const auto redo = RunMrkprog(cycle + " --same-module", lostDir.Path());
    EXPECT_EQ(redo.code, 0) << redo.out << redo.err;
    EXPECT_TRUE(redo.Has("Модуль 777 программируется повторно.")) << redo.out;
}

INSTANTIATE_TEST_SUITE_P(Engines, TwoBenches, ::testing::Values(TestEngine::Sqlite, TestEngine::Postgres),
                         test::EngineName);

// A cycle killed at any moment leaves its record open and the journal intact.
TEST(KilledCycle, LeavesAnUnfinishedRecord) {
    test::TempDir dir;
    WriteSettings(dir.Path(), "Station=A\n");
    const std::string journalFile = StationJournal(dir.Path());

    pid_t pid = 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, (dir.Path() / "out.txt").c_str(), O_WRONLY | O_CREAT, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, (dir.Path() / "err.txt").c_str(), O_WRONLY | O_CREAT, 0644);
    const std::string cwd = dir.Path().string();
    // The program runs in the test's folder, as an operator's would.
    const std::string script = "cd '" + cwd + "' && exec '" MRKPROG_PATH "' --bench virtual-lpt cycle 55";
    const char* argv[] = {"/bin/sh", "-c", script.c_str(), nullptr};
    ASSERT_EQ(posix_spawn(&pid, "/bin/sh", &actions, nullptr, const_cast<char**>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&actions);

    // Killed once the cycle has written its configuration step.
    bool killed = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!killed && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (!std::filesystem::exists(journalFile)) continue;
        try {
            SqliteConnection db(journalFile);
            const auto rows = db.Query("SELECT count(*) FROM run_steps");
            if (!rows.empty() && rows[0][0] && std::stoi(*rows[0][0]) >= 2) {
                killed = kill(pid, SIGKILL) == 0;
            }
        } catch (const SqlError&) {
            // Not yet made: the tables come with the first record.
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(killed && WIFSIGNALED(status)) << "the cycle ended before it could be killed";

    SqliteConnection db(journalFile);
    EXPECT_EQ(db.Query("PRAGMA integrity_check")[0][0], "ok");
    const auto list = RunMrkprog("journal list --failed", dir.Path());
    EXPECT_TRUE(list.Has("Записей: 1")) << list.out << list.err;
    EXPECT_TRUE(list.Has("не закончена")) << list.out;
    const auto show = RunMrkprog("journal show 1", dir.Path());
    EXPECT_TRUE(show.Has("0 ok")) << show.out;
    EXPECT_TRUE(show.Has("Конец (UTC)      не закончена")) << show.out;
    // The number stays taken by the module that was being made.
    const auto again = RunMrkprog("--bench virtual-lpt cycle 55", dir.Path());
    EXPECT_TRUE(again.Has("уже использован")) << again.out;
}

// The server goes away while an update is being written: the update ends OK,
// its record is kept on the station and reaches the server with journal sync.
TEST(ServerStoppedMidUpdate, UpdateEndsOkAndItsRecordArrivesAfterSync) {
    MRK_REQUIRE_PG();
    auto* server = test::PgServer::Shared();
    const std::string conninfo = server->NewDatabase();
    test::TempDir dir;
    WriteSettings(dir.Path(), "Station=Поле\nServer=" + conninfo + "\n");

    // The host stops the server once the update has been streamed.
    struct StoppingHost : test::RecordingHost {
        test::PgServer* server = nullptr;
        void Okno(const std::string& line) override {
            RecordingHost::Okno(line);
            if (line == "Запись закончена.") server->Stop();
        }
    } console;
    console.server = server;
    JournalSettings s;
    s.station = "Поле";
    s.file = StationJournal(dir.Path());
    s.folderToMake = (dir.Path() / "journal").string();
    s.server = conninfo;
    bool ok = false;
    {
        ProductionJournal journal(s);
        JournalingHost host(console, journal);
        sim::BenchOptions o;
        o.factoryBootLoader = true;
        sim::Bench bench(o);
        Context ctx(host);
        bench.Install(ctx);
        JournalObserver observer(journal);
        ctx.runObserver = &observer;
        PlainControls ui;
        ok = SpeedButton4Click(ctx, ui, Ctl::SpeedButton4).Ok();
    }
    ASSERT_TRUE(server->Start());
    EXPECT_TRUE(ok) << "the update never waits for the journal";
    bool warned = false;
    for (const auto& l : console.log) warned = warned || l.find("Сервер журнала недоступен") != std::string::npos;
    EXPECT_TRUE(warned);

    auto list = RunMrkprog("journal list", dir.Path());
    EXPECT_TRUE(list.Has("не закончена")) << "the server kept what it got before it stopped\n" << list.out;
    const auto sync = RunMrkprog("journal sync", dir.Path());
    EXPECT_EQ(sync.code, 0) << sync.err;
    EXPECT_TRUE(sync.Has("Отправлено записей: 1, ожидают: 0")) << sync.out;
    list = RunMrkprog("journal list", dir.Path());
    EXPECT_TRUE(list.Has("Записей: 1")) << list.out;
    EXPECT_TRUE(list.Has("OK")) << list.out;
    EXPECT_TRUE(list.Has("2:ok 3:ok 5:ok 7:ok")) << list.out;
    const auto show = RunMrkprog("journal show 1", dir.Path());
    EXPECT_TRUE(show.Has("КС Программы OK.")) << show.out;
}

// A second cycle on the same number in one run of the program is refused: the
// refusal is the result (exit 1), not the "OK" left over from the first cycle.
TEST(RefusedCycle, IsAFailureOfItsOwn) {
    test::TempDir dir;
    WriteSettings(dir.Path(), "Station=A\n");
    const auto r = RunMrkprog("--bench virtual-lpt --module module.hex cycle 71 cycle 71", dir.Path());
    EXPECT_NE(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(r.Has("Заводской номер 71 уже использован")) << r.out;
    EXPECT_TRUE(r.ErrHas("не запущен")) << r.err;
}

// Which USB programmer did the run: its serial number as the driver lists it, in
// the record, in journal show and in the export; an LPT run has none.
TEST(ProgrammerSerial, RecordedShownAndExported) {
    test::TempDir dir;
    WriteSettings(dir.Path(), "Station=A\n");
    ASSERT_EQ(RunMrkprog("--bench virtual-usb --module usb.hex cycle 74", dir.Path()).code, 0);
    ASSERT_EQ(RunMrkprog("--bench virtual-lpt --module lpt.hex cycle 75", dir.Path()).code, 0);
    std::vector<JournalRecord> all;
    {
        JournalStore store(std::make_unique<SqliteConnection>(StationJournal(dir.Path())));
        all = store.List({});
    }
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].programmerSerial, "VRT00001");
    EXPECT_EQ(all[0].programmer, "USB Surtan");
    EXPECT_EQ(all[1].programmerSerial, "");
    const auto show = RunMrkprog("journal show " + all[0].uid, dir.Path());
    EXPECT_TRUE(show.Has("USB Surtan, серийный номер VRT00001")) << show.out;
    ASSERT_EQ(RunMrkprog("journal export --csv out.csv", dir.Path()).code, 0);
    const std::string csv = test::ReadAll(dir.Path() / "out.csv");
    EXPECT_NE(csv.find(",programmer,programmer_serial,"), std::string::npos) << csv;
    EXPECT_NE(csv.find(",USB Surtan,VRT00001,"), std::string::npos) << csv;
}

// A cycle whose images did not load leaves the module alone and its number free:
// the same number on the next try is no redo.
TEST(ImagesNotLoaded, CycleLeavesItsNumberFree) {
    test::TempDir dir;
    std::ofstream(dir.Path() / "mrkprog.ini") << "[Form_Param]\nEdit2=/nonexistent/boot.hex\nEdit5=/nonexistent/boot.hex\n"
                                                 "ConfigChip=261\n[Journal]\nBench=1\nStation=A\n";
    auto r = RunMrkprog("--bench virtual-lpt --module module.hex cycle 72", dir.Path());
    EXPECT_EQ(r.code, 1) << r.out << r.err;
    EXPECT_TRUE(r.Has("Модуль не программировался")) << r.out;
    WriteSettings(dir.Path(), "Station=A\n");
    r = RunMrkprog("--bench virtual-lpt --module module.hex cycle 72", dir.Path());
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_FALSE(r.Has("уже использован") || r.ErrHas("уже использован")) << r.out << r.err;
    JournalStore store(std::make_unique<SqliteConnection>(StationJournal(dir.Path())));
    const auto all = store.List({});
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].result, "OK");
    EXPECT_EQ(all[0].factoryNumber.value_or(0), 72);
    EXPECT_FALSE(all[0].redoOf.has_value());
}

// The boot loader's fingerprint is of the bytes loaded; a boot-loader "file" that is a
// pipe or a device is refused by the load and never read by the journal (no hang).
TEST(BootFingerprint, OfTheLoadedBytesOnlyNeverAPipeOrDevice) {
    test::TempDir dir;
    ASSERT_EQ(mkfifo((dir.Path() / "boot.fifo").c_str(), 0600), 0);
    struct Case {
        std::string boot;
        bool loads;
    };
    const Case cases[] = {{kFw + "/boot-452.hex", true}, {"/dev/zero", false}, {(dir.Path() / "boot.fifo").string(), false}};
    uint16_t number = 300;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.boot);
        std::ofstream(dir.Path() / "mrkprog.ini") << "[Form_Param]\nEdit2=" << c.boot << "\nEdit5=" << c.boot
                                                  << "\nConfigChip=261\n[Journal]\nBench=1\nStation=A\n";
        const auto t0 = std::chrono::steady_clock::now();
        const auto r = RunMrkprog("--bench virtual-lpt --chip 452 --module module.hex cycle " + std::to_string(++number),
                                  dir.Path());
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(60)) << "no hang";
        EXPECT_EQ(r.code == 0, c.loads) << r.out << r.err;
    }
    JournalStore store(std::make_unique<SqliteConnection>(StationJournal(dir.Path())));
    const auto all = store.List({});
    ASSERT_FALSE(all.empty());
    std::vector<uint8_t> bytes;
    int err = 0;
    ASSERT_TRUE(ReadRegularFile(kFw + "/boot-452.hex", bytes, err));
    EXPECT_EQ(all.front().bootSha256, Sha256Hex(bytes));
    for (size_t i = 1; i < all.size(); ++i) EXPECT_EQ(all[i].bootSha256, "") << all[i].bootPath;
}

} // namespace
} // namespace mrk::journal
