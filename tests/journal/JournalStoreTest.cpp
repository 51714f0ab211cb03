// The store on both engines: a record as a run writes it, reservations of
// factory numbers, listing, and the schema's versions.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "journal/JournalRig.h"
#include "journal/Schema.h"

namespace mrk::journal {
namespace {

using test::TestEngine;

JournalRecord Cycle(uint16_t number, const std::string& station = "ST1") {
    JournalRecord r;
    r.uid = NewUid();
    r.kind = RunKind::Cycle;
    r.station = station;
    r.startedUtc = UtcNow();
    r.factoryNumber = number;
    r.programmer = "LPT 378";
    r.chip = "PIC18F4620";
    r.devId1 = 0xC7;
    r.devId2 = 0x0C;
    return r;
}

class StoreTest : public ::testing::TestWithParam<TestEngine> {
protected:
    void SetUp() override {
        if (GetParam() == TestEngine::Postgres) MRK_REQUIRE_PG();
        place_ = std::make_unique<test::EngineJournal>(GetParam());
        ASSERT_TRUE(place_->Available()) << "no database on the test server";
        store_ = place_->Store();
    }
    std::unique_ptr<test::EngineJournal> place_;
    std::unique_ptr<JournalStore> store_;
};

TEST_P(StoreTest, RecordWrittenAsTheRunGoesReadsBackWhole) {
    JournalRecord r = Cycle(1234);
    r.imageName = "DATAARRAY";
    r.imageSum1 = 0x12;
    r.imageSum2 = 0x34;
    r.bootPath = "c:\\boot\\загрузчик.hex";
    r.bootSha256 = std::string(64, 'a');
    r.log = {"Очистка."};
    ASSERT_TRUE(store_->Open(r, true).opened);
    r.steps.push_back({1, "конфигурация", true});
    r.log.push_back("Конфигурация OK");
    store_->AddStep(r, 0, 1);
    r.steps.push_back({3, "загрузчик", false});
    r.log.push_back("Ошибка, строка 'с кавычкой' ?");
    r.config = {0x00, 0x22, 0x0F, 0x0E, 0xFF, 0x83, 0x81, 0xFF, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40};
    r.moduleNumber = 0xA40504D2;
    r.result = "X";
    r.endedUtc = UtcNow();
    store_->Finish(r, 2, false);

    const auto back = store_->Get(r.id);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->uid, r.uid);
    EXPECT_EQ(back->kind, RunKind::Cycle);
    EXPECT_EQ(back->station, "ST1");
    EXPECT_EQ(back->startedUtc, r.startedUtc);
    EXPECT_EQ(back->endedUtc, r.endedUtc);
    EXPECT_EQ(back->programmer, "LPT 378");
    EXPECT_EQ(back->chip, "PIC18F4620");
    EXPECT_EQ(back->devId1, 0xC7);
    EXPECT_EQ(back->devId2, 0x0C);
    EXPECT_EQ(back->factoryNumber, 1234);
    EXPECT_EQ(back->moduleNumber, 0xA40504D2u);
    EXPECT_EQ(back->imageName, "DATAARRAY");
    EXPECT_EQ(back->imageSum1, 0x12);
    EXPECT_EQ(back->imageSum2, 0x34);
    EXPECT_EQ(back->bootPath, r.bootPath);
    EXPECT_EQ(back->bootSha256, r.bootSha256);
    EXPECT_EQ(back->config, r.config);
    ASSERT_EQ(back->steps.size(), 2u);
    EXPECT_EQ(back->steps[0].step, 1);
    EXPECT_TRUE(back->steps[0].ok);
    EXPECT_EQ(back->steps[1].step, 3);
    EXPECT_FALSE(back->steps[1].ok);
    EXPECT_EQ(back->log, r.log);
    EXPECT_EQ(back->result, "X");
    EXPECT_FALSE(back->redoOf);
}

TEST_P(StoreTest, RunThatNeverEndedStaysUnfinishedWithItsSteps) {
    JournalRecord r = Cycle(7);
    ASSERT_TRUE(store_->Open(r, true).opened);
    r.steps.push_back({0, "очистка", true});
    r.log.push_back("line before the power went");
    store_->AddStep(r, 0, 0);
    store_.reset(); // the process is gone: nothing more is written

    auto again = place_->Store();
    const auto back = again->GetByUid(r.uid);
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->Finished());
    EXPECT_EQ(back->result, "");
    ASSERT_EQ(back->steps.size(), 1u);
    EXPECT_EQ(back->log, r.log);
    ListFilter failed;
    failed.failedOnly = true;
    EXPECT_EQ(again->List(failed).size(), 1u) << "an unfinished run counts as failed";
}

TEST_P(StoreTest, SecondUseOfANumberIsRefusedUnlessItRedoesTheSameModule) {
    JournalRecord first = Cycle(500, "ST1");
    ASSERT_TRUE(store_->Open(first, true).opened);
    first.result = "OK";
    first.endedUtc = UtcNow();
    store_->Finish(first, 0, false);

    JournalRecord second = Cycle(500, "ST2");
    const OpenResult refused = store_->Open(second, true);
    EXPECT_FALSE(refused.opened);
    ASSERT_TRUE(refused.holder);
    EXPECT_EQ(refused.holder->uid, first.uid);
    EXPECT_EQ(refused.holder->station, "ST1");
    EXPECT_EQ(refused.holder->result, "OK");
    EXPECT_EQ(store_->List({}).size(), 1u) << "a refused run leaves no record";

    // Naming some other record does not get past the reservation.
    second.redoOf = NewUid();
    EXPECT_FALSE(store_->Open(second, true).opened);

    second.redoOf = first.uid;
    ASSERT_TRUE(store_->Open(second, true).opened);
    EXPECT_EQ(store_->Get(second.id)->redoOf, first.uid);

    // A third time the holder is the latest record of the module.
    JournalRecord third = Cycle(500, "ST1");
    const OpenResult again = store_->Open(third, true);
    ASSERT_TRUE(again.holder);
    EXPECT_EQ(again.holder->uid, second.uid);

    // Updates do not reserve numbers.
    JournalRecord update = Cycle(500);
    update.kind = RunKind::Update;
    EXPECT_TRUE(store_->Open(update, false).opened);
}

TEST_P(StoreTest, StationsRacingForOneNumberGetItOnce) {
    constexpr int kStations = 6;
    std::atomic<int> opened{0}, refused{0}, failed{0};
    std::vector<std::thread> threads;
    for (int k = 0; k < kStations; ++k) {
        threads.emplace_back([&, k] {
            try {
                auto store = place_->Store();
                JournalRecord r = Cycle(4242, "ST" + std::to_string(k));
                (store->Open(r, true).opened ? opened : refused)++;
            } catch (const std::exception& e) {
                ADD_FAILURE() << e.what();
                failed++;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(opened.load(), 1);
    EXPECT_EQ(refused.load(), kStations - 1);
    EXPECT_EQ(failed.load(), 0);
    ListFilter f;
    f.number = 4242;
    EXPECT_EQ(store_->List(f).size(), 1u);
}

TEST_P(StoreTest, ListFilters) {
    struct Row {
        uint16_t number;
        const char* started;
        const char* result;
    };
    const Row rows[] = {{1, "2026-01-05T10:00:00Z", "OK"},
                        {2, "2026-02-01T09:00:00Z", "X"},
                        {3, "2026-02-01T09:30:00Z", ""},
                        {4, "2026-03-10T12:00:00Z", "OK"}};
    for (const auto& row : rows) {
        JournalRecord r = Cycle(row.number);
        r.startedUtc = row.started;
        ASSERT_TRUE(store_->Open(r, true).opened);
        if (*row.result) {
            r.result = row.result;
            r.endedUtc = row.started;
            store_->Finish(r, 0, false);
        }
    }
    auto numbers = [&](ListFilter f) {
        std::vector<int> out;
        for (const auto& r : store_->List(f)) out.push_back(*r.factoryNumber);
        return out;
    };
    ListFilter since;
    since.since = "2026-02-01";
    EXPECT_EQ(numbers(since), (std::vector<int>{2, 3, 4}));
    ListFilter failed;
    failed.failedOnly = true;
    EXPECT_EQ(numbers(failed), (std::vector<int>{2, 3}));
    ListFilter number;
    number.number = 4;
    EXPECT_EQ(numbers(number), (std::vector<int>{4}));
    ListFilter newest;
    newest.limit = 2;
    EXPECT_EQ(numbers(newest), (std::vector<int>{3, 4}));
    EXPECT_EQ(numbers({}), (std::vector<int>{1, 2, 3, 4}));
}

// A journal written by the previous version: its records stay, numbers it
// already stamped become reserved, and the new columns work.
TEST_P(StoreTest, MigratesAJournalOfThePreviousVersion) {
    store_.reset();
    auto place = std::make_unique<test::EngineJournal>(GetParam());
    {
        auto db = place->Connect();
        Migrate(*db, 1);
        ASSERT_EQ(SchemaVersionOf(*db), 1);
        const char* insert = "INSERT INTO runs (uid, kind, station, started_utc, ended_utc, factory_number, result)"
                             " VALUES (?, ?, 'OLD', ?, ?, ?, ?)";
        db->Exec(insert, {std::string("u1"), std::string("cycle"), std::string("2025-01-01T00:00:00Z"),
                          std::string("2025-01-01T00:01:00Z"), int64_t(77), std::string("OK")});
        db->Exec(insert, {std::string("u2"), std::string("cycle"), std::string("2025-01-02T00:00:00Z"),
                          std::string("2025-01-02T00:01:00Z"), int64_t(77), std::string("X")});
        db->Exec(insert, {std::string("u3"), std::string("update"), std::string("2025-01-03T00:00:00Z"),
                          nullptr, nullptr, nullptr});
        db->Exec("INSERT INTO run_steps (run_id, seq, step, name, ok) VALUES (1, 0, 0, 'old step', 1)");
    }
    auto store = place->Store();
    EXPECT_EQ(SchemaVersionOf(store->Db()), kSchemaVersion);
    const auto all = store->List({}, true);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].uid, "u1");
    ASSERT_EQ(all[0].steps.size(), 1u);
    EXPECT_EQ(all[0].steps[0].name, "old step");
    EXPECT_FALSE(all[2].Finished());

    JournalRecord again = Cycle(77);
    const OpenResult r = store->Open(again, true);
    EXPECT_FALSE(r.opened) << "number 77 was stamped before the upgrade";
    ASSERT_TRUE(r.holder);
    EXPECT_EQ(r.holder->uid, "u2");
    again.redoOf = "u2";
    EXPECT_TRUE(store->Open(again, true).opened);
    // Older records wait for a server too; the run just opened may still be going.
    EXPECT_EQ(store->Unsent().size(), 3u);

    // Opening again changes nothing more.
    store.reset();
    EXPECT_EQ(place->Store()->List({}).size(), 4u);
}

TEST_P(StoreTest, JournalOfANewerVersionIsRefusedAndLeftAlone) {
    JournalRecord r = Cycle(9);
    ASSERT_TRUE(store_->Open(r, true).opened);
    store_->Db().Exec("UPDATE schema_version SET version = 99");
    store_.reset();
    try {
        place_->Store();
        FAIL() << "a journal from a newer program was opened";
    } catch (const SqlError& e) {
        EXPECT_NE(std::string(e.what()).find("новее версии этой программы"), std::string::npos) << e.what();
    }
    auto db = place_->Connect();
    EXPECT_EQ(db->Query("SELECT count(*) FROM runs")[0][0], "1");
}

INSTANTIATE_TEST_SUITE_P(Engines, StoreTest, ::testing::Values(TestEngine::Sqlite, TestEngine::Postgres),
                         test::EngineName);

} // namespace
} // namespace mrk::journal
