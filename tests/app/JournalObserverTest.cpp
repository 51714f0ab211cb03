// The journal behind the commands: what a run's record learns from the
// context, the log lines it keeps, the cycle's number reserved before work,
// and the update inside a cycle belonging to the cycle's record.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/JournalObserver.h"
#include "app/MainCommands.h"
#include "app/PlainControls.h"
#include "core/Context.h"
#include "app/ChipRoutines.h"
#include "image/FileCommands.h"
#include "sim/Bench.h"
#include "support/RecordingHost.h"

namespace mrk {
namespace {

namespace fs = std::filesystem;

// A station: the bench, the front end's host with the journal listening, the observer.
struct Station {
    explicit Station(const fs::path& file)
        : bench(Options()), journal(Settings(file)), jhost(host, journal), ctx(jhost), observer(journal) {
        bench.Install(ctx);
        EXPECT_TRUE(OpenProgrammer(ctx));
    }
    static sim::BenchOptions Options() {
        sim::BenchOptions o;
        o.chip = sim::ChipModel::PIC18F4620;
        o.factoryBootLoader = true;
        return o;
    }
    static journal::JournalSettings Settings(const fs::path& file) {
        journal::JournalSettings s;
        s.station = "ST1";
        s.file = file.string();
        return s;
    }
    std::vector<journal::JournalRecord> Records() {
        std::string error;
        auto* store = journal.Local(error);
        EXPECT_TRUE(store) << error;
        std::vector<journal::JournalRecord> out;
        for (const auto& head : store->List({})) out.push_back(*store->Get(head.id));
        return out;
    }
    sim::Bench bench;
    test::RecordingHost host;
    journal::ProductionJournal journal;
    JournalingHost jhost;
    Context ctx;
    JournalObserver observer;
};

struct JournalObserverTest : ::testing::Test {
    fs::path dir = [] {
        char tmpl[] = "/tmp/mrk-observer-XXXXXX";
        return fs::path(mkdtemp(tmpl));
    }();
    ~JournalObserverTest() override { fs::remove_all(dir); }
};

TEST_F(JournalObserverTest, UpdateRecordCarriesProgrammerChipImageAndLog) {
    Station st(dir / "j.db");
    st.ctx.runObserver = &st.observer;
    PlainControls ui;
    ASSERT_TRUE(SpeedButton4Click(st.ctx, ui, Ctl::SpeedButton4));

    const auto recs = st.Records();
    ASSERT_EQ(recs.size(), 1u);
    const auto& r = recs[0];
    EXPECT_EQ(r.kind, journal::RunKind::Update);
    EXPECT_EQ(r.station, "ST1");
    EXPECT_EQ(r.programmer, "LPT 378");
    EXPECT_EQ(r.chip, "PIC18F4620");
    EXPECT_EQ(r.devId1, st.ctx.prog.DevId1);
    EXPECT_EQ(r.devId2, st.ctx.prog.DevId2);
    EXPECT_NE(r.devId2, 0);
    EXPECT_EQ(r.imageName, "DATAARRAY1");
    const size_t sums = 2u * st.ctx.prog.ChipWords;
    EXPECT_EQ(r.imageSum1, st.ctx.image.BuffEt[sums + 1]);
    EXPECT_EQ(r.imageSum2, st.ctx.image.BuffEt[sums + 2]);
    EXPECT_TRUE(r.config.empty()) << "an update writes no configuration";
    EXPECT_EQ(r.result, "OK");
    EXPECT_TRUE(r.Finished());
    ASSERT_FALSE(r.log.empty());
    EXPECT_EQ(r.log.back(), "Можно подключить следующий модуль.");
    std::vector<int> steps;
    for (const auto& s : r.steps) {
        steps.push_back(s.step);
        EXPECT_TRUE(s.ok) << s.name;
    }
    EXPECT_EQ(steps, (std::vector<int>{2, 3, 5, 7}));
}

// An update's record carries the identity this run read from the module it
// updated, never the ID words an earlier read (of another module) left behind:
// a programmer gone before the update's own ID read leaves the record without one.
TEST_F(JournalObserverTest, AnUpdateRecordsOnlyTheIdentityItReadItself) {
    struct Case {
        const char* name;
        bool programmerGone;
        std::optional<uint32_t> number;
    } cases[] = {{"read by the update", false, 0x56781234u}, {"programmer gone before", true, std::nullopt}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Station st(dir / (std::string(c.name) + ".db"));
        st.ctx.runObserver = &st.observer;
        st.ctx.commands.Obnovl = false; // production mode: the update goes on without a programmer
        ASSERT_TRUE(WriteIdWords(st.ctx, 0x1234, 0x5678, 0x9ABC));
        ASSERT_TRUE(ReadIdWords(st.ctx));
        // The next module on the bench: whatever the last ID read left is not its number.
        if (c.programmerGone) st.bench.Kordel().SetFault(sim::KordelFault::Absent);
        PlainControls ui;
        const UpdateOutcome u = SpeedButton4Click(st.ctx, ui, Ctl::SpeedButton4);
        EXPECT_EQ(u.Ok(), !c.programmerGone);
        EXPECT_EQ(u.moduleIdentity, c.number);
        const auto recs = st.Records();
        ASSERT_EQ(recs.size(), 1u);
        EXPECT_EQ(recs[0].kind, journal::RunKind::Update);
        EXPECT_EQ(recs[0].moduleNumber, c.number);
        EXPECT_EQ(recs[0].factoryNumber.has_value(), c.number.has_value());
    }
}

// A cycle stopped inside its update ends its one record "stopped".
TEST_F(JournalObserverTest, AStoppedCycleEndsItsRecordStopped) {
    Station st(dir / "j.db");
    const uint32_t module = 0x00000042;
    ASSERT_TRUE(st.observer.RunStarting(st.ctx, RunKind::Cycle, module));
    ASSERT_TRUE(st.observer.RunStarting(st.ctx, RunKind::Update, 0));
    st.observer.RunStopped(st.ctx, 0);
    st.observer.RunStopped(st.ctx, module);
    const auto recs = st.Records();
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0].result, "stopped");
    EXPECT_EQ(recs[0].factoryNumber, 0x42);

    // The number's next cycle asks about it in words, not in the stored value.
    st.host.nextAnswer = MsgResult::No;
    EXPECT_FALSE(st.observer.RunStarting(st.ctx, RunKind::Cycle, module));
    ASSERT_EQ(st.host.messages.size(), 2u);
    for (const auto& m : st.host.messages) {
        EXPECT_NE(m.text.find("результат остановлена"), std::string::npos) << m.text;
        EXPECT_EQ(m.text.find("stopped"), std::string::npos) << m.text;
    }
}

TEST_F(JournalObserverTest, CycleNumberReservedBeforeWorkAndAskedAboutOnceTaken) {
    Station st(dir / "j.db");
    const uint32_t module = 0xA40504D2; // factory number 1234
    ASSERT_TRUE(st.observer.RunStarting(st.ctx, RunKind::Cycle, module));
    st.observer.StepDone(st.ctx, 0, "очистка", true);
    // The update inside the cycle is part of the cycle's record.
    ASSERT_TRUE(st.observer.RunStarting(st.ctx, RunKind::Update, 0));
    st.ctx.host.Okno("inside the update");
    st.observer.StepDone(st.ctx, 3, "nested step", true);
    st.observer.RunEnded(st.ctx, true, 0);
    st.observer.StepDone(st.ctx, 10, "обновление", true);
    st.observer.RunEnded(st.ctx, true, module);

    auto recs = st.Records();
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0].kind, journal::RunKind::Cycle);
    EXPECT_EQ(recs[0].factoryNumber, 1234);
    EXPECT_EQ(recs[0].moduleNumber, module);
    EXPECT_EQ(recs[0].config.size(), 14u);
    ASSERT_EQ(recs[0].steps.size(), 2u);
    EXPECT_EQ(recs[0].steps[1].step, 10);
    EXPECT_EQ(recs[0].log, std::vector<std::string>{"inside the update"});

    // Taken: asked, answered no, refused with a box and a log line.
    st.host.nextAnswer = MsgResult::No;
    EXPECT_FALSE(st.observer.RunStarting(st.ctx, RunKind::Cycle, module));
    ASSERT_EQ(st.host.messages.size(), 2u);
    EXPECT_EQ(st.host.messages[0].buttons, MsgButtons::YesNo);
    EXPECT_NE(st.host.messages[0].text.find("Это тот же модуль"), std::string::npos);
    EXPECT_NE(st.host.messages[1].text.find("уже использован"), std::string::npos);
    EXPECT_NE(st.host.log.back().find("цикл не запущен"), std::string::npos);

    // Answered yes: the redo points at the first record.
    st.host.nextAnswer = MsgResult::Yes;
    ASSERT_TRUE(st.observer.RunStarting(st.ctx, RunKind::Cycle, module));
    st.observer.RunEnded(st.ctx, false, module);
    // Confirmed beforehand (the CLI's --same-module): nobody is asked.
    st.observer.ConfirmSameModule(true);
    const size_t asked = st.host.messages.size();
    ASSERT_TRUE(st.observer.RunStarting(st.ctx, RunKind::Cycle, module));
    st.observer.RunEnded(st.ctx, true, module);
    EXPECT_EQ(st.host.messages.size(), asked);

    recs = st.Records();
    ASSERT_EQ(recs.size(), 3u);
    EXPECT_EQ(recs[1].redoOf, recs[0].uid);
    EXPECT_EQ(recs[1].result, "X");
    EXPECT_EQ(recs[2].redoOf, recs[1].uid);
}

} // namespace
} // namespace mrk
