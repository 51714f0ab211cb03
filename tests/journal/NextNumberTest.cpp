// The line's factory numbers ([Journal] Numbers=FROM-TO): the next free number
// of the range, free on the line (on the server and on the station), and two
// stations asking at once each getting a number of their own.
#include <gtest/gtest.h>

#include <algorithm>
#include <barrier>
#include <set>
#include <thread>

#include "journal/JournalRig.h"
#include "journal/NextNumber.h"
#include "journal/ProductionJournal.h"
#include "journal/UtcTime.h"

namespace mrk::journal {
namespace {

using test::TestEngine;

TEST(NumberRange, ParsesFromToAndRefusesTheRest) {
    struct Case {
        const char* text;
        bool ok;
        uint16_t from, to;
    };
    const Case cases[] = {
        {"1000-1999", true, 1000, 1999}, {" 7 - 7 ", true, 7, 7},  {"1-65535", true, 1, 65535},
        {"0-10", false, 0, 0},           {"20-10", false, 0, 0},   {"1-65536", false, 0, 0},
        {"1000", false, 0, 0},           {"1000-", false, 0, 0},   {"10-20x", false, 0, 0},
        {"-5-10", false, 0, 0},          {"1e3-2000", false, 0, 0}, {"", false, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        uint16_t from = 0, to = 0;
        EXPECT_EQ(ParseNumberRange(c.text, from, to), c.ok);
        if (c.ok) {
            EXPECT_EQ(from, c.from);
            EXPECT_EQ(to, c.to);
        }
    }
}

JournalSettings Settings(const std::string& file, const std::string& name, const std::string& server, uint16_t from,
                         uint16_t to) {
    JournalSettings s;
    s.station = name;
    s.file = file;
    s.server = server;
    s.timeoutSeconds = 5;
    s.fileWaitMs = 5000;
    s.numbersFrom = from;
    s.numbersTo = to;
    return s;
}

// Reserves a number as a cycle does when it starts.
bool Reserve(JournalStore& store, uint16_t number, const std::string& station = "X") {
    JournalRecord rec = NewRun(RunKind::Cycle, number);
    rec.uid = NewUid();
    rec.station = station;
    rec.startedUtc = UtcNow();
    return store.ReserveNumber(rec).opened;
}

class NextNumber : public ::testing::TestWithParam<TestEngine> {};

// The lowest free number of the range, gaps filled first; none when all are taken.
TEST_P(NextNumber, IsTheLowestNumberOfTheRangeNobodyReserved) {
    test::EngineJournal where(GetParam());
    if (!where.Available()) GTEST_SKIP() << test::PgServer::SkipReason();
    auto store = where.Store();
    EXPECT_EQ(NextFreeNumber(*store, 100, 105), 100);
    for (uint16_t n : {99, 100, 101, 103, 106}) ASSERT_TRUE(Reserve(*store, n));
    EXPECT_EQ(NextFreeNumber(*store, 100, 105), 102) << "the gap after 101";
    EXPECT_EQ(NextFreeNumber(*store, 103, 105), 104);
    ASSERT_TRUE(Reserve(*store, 102));
    ASSERT_TRUE(Reserve(*store, 104));
    EXPECT_EQ(NextFreeNumber(*store, 100, 105), 105);
    ASSERT_TRUE(Reserve(*store, 105));
    EXPECT_EQ(NextFreeNumber(*store, 100, 105), std::nullopt) << "used up (106 lies outside)";
    EXPECT_EQ(NextFreeNumber(*store, 65535, 65535), 65535);
}

INSTANTIATE_TEST_SUITE_P(Engines, NextNumber, ::testing::Values(TestEngine::Sqlite, TestEngine::Postgres),
                         test::EngineName);

// Free on the line: a number the server holds for another station, or this station
// holds from before it joined, is passed over; a range used up says so.
TEST(NextNumberOnTheLine, PassesOverWhatTheServerAndTheStationHold) {
    MRK_REQUIRE_PG();
    test::JournalDir dir;
    const std::string server = test::PgServer::Shared()->NewDatabase();
    ProductionJournal a(Settings(dir.File("a.db"), "A", server, 10, 14));
    std::string why;
    ASSERT_EQ(a.NextNumber(why), 10) << why;
    {
        JournalStore line(std::make_unique<PgConnection>(server));
        ASSERT_TRUE(Reserve(line, 10, "B"));
        ASSERT_TRUE(Reserve(line, 12, "B"));
    }
    {
        // The station's own number, not yet on the server.
        std::string err;
        ASSERT_TRUE(Reserve(*a.Local(err), 11, "A")) << err;
    }
    EXPECT_EQ(a.NextNumber(why), 13) << why;
    {
        JournalStore line(std::make_unique<PgConnection>(server));
        ASSERT_TRUE(Reserve(line, 13, "B"));
        ASSERT_TRUE(Reserve(line, 14, "B"));
    }
    EXPECT_EQ(a.NextNumber(why), std::nullopt);
    EXPECT_NE(why.find("Все номера диапазона 10-14 ([Journal] Numbers=) заняты"), std::string::npos) << why;

    ProductionJournal none(Settings(dir.File("c.db"), "C", "", 0, 0));
    EXPECT_EQ(none.NextNumber(why), std::nullopt);
    EXPECT_NE(why.find("не задан диапазон номеров"), std::string::npos) << why;
}

// A server that is away gives no number: the station cannot know what the line has used.
TEST(NextNumberOnTheLine, ServerAwayGivesNoNumber) {
    test::JournalDir dir;
    ProductionJournal a(Settings(dir.File("a.db"), "A", "host=" + dir.Path().string() + " dbname=none", 10, 14));
    std::string why;
    EXPECT_EQ(a.NextNumber(why), std::nullopt);
    EXPECT_NE(why.find("Нет связи с сервером журнала"), std::string::npos) << why;
    EXPECT_NE(why.find("следующий номер не выдан"), std::string::npos) << why;
}

// Two stations take cycles off the line's range at the same moment, again and again:
// each cycle starts on a number of its own, and together they use the range without a gap.
// On SQLite the two share one station file (two programs of one station); on the server
// each station has its own file.
class NextNumberRace : public ::testing::TestWithParam<TestEngine> {};

TEST_P(NextNumberRace, TwoStationsAskingAtOnceGetDifferentNumbers) {
    const bool pg = GetParam() == TestEngine::Postgres;
    if (pg) MRK_REQUIRE_PG();
    test::JournalDir dir;
    const std::string server = pg ? test::PgServer::Shared()->NewDatabase() : "";
    constexpr int kRounds = 12;
    const uint16_t from = 700, to = from + 2 * kRounds - 1;
    ProductionJournal a(Settings(pg ? dir.File("a.db") : dir.File(), "A", server, from, to));
    ProductionJournal b(Settings(pg ? dir.File("b.db") : dir.File(), "B", server, from, to));
    // A taken number is never this station's module: no question is answered yes.
    a.confirmRedo = b.confirmRedo = [](const JournalRecord&) { return false; };
    std::barrier sync(2);
    std::vector<uint16_t> got[2];
    std::string errors[2];
    auto station = [&](ProductionJournal& j, int k) {
        for (int round = 0; round < kRounds; ++round) {
            sync.arrive_and_wait(); // both ask at once
            std::string why;
            const auto n = StartOnNextNumber(
                j,
                [&](uint16_t number, std::string& refused) {
                    JournalRecord rec = NewRun(RunKind::Cycle, number);
                    if (!j.Start(rec, refused)) return false;
                    j.Step(0, "очистка", true);
                    j.Finish("OK");
                    return true;
                },
                why);
            if (n) got[k].push_back(*n);
            else errors[k] += why + "\n";
        }
    };
    std::thread ta(station, std::ref(a), 0), tb(station, std::ref(b), 1);
    ta.join();
    tb.join();
    EXPECT_EQ(errors[0], "");
    EXPECT_EQ(errors[1], "");
    std::set<uint16_t> all(got[0].begin(), got[0].end());
    all.insert(got[1].begin(), got[1].end());
    EXPECT_EQ(all.size(), got[0].size() + got[1].size()) << "a number started twice";
    ASSERT_EQ(all.size(), size_t(2 * kRounds));
    EXPECT_EQ(*all.begin(), from);
    EXPECT_EQ(*all.rbegin(), to) << "the range used without a gap";
    // The range is used up now: the next ask is refused, not answered with a number outside it.
    std::string why;
    EXPECT_EQ(a.NextNumber(why), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Engines, NextNumberRace, ::testing::Values(TestEngine::Sqlite, TestEngine::Postgres),
                         test::EngineName);

} // namespace
} // namespace mrk::journal
