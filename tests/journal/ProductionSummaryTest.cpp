// The figures behind the journal's charts and its HTML report: each case a set of
// records and what the people who run the line must read from it.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "journal/HtmlReport.h"
#include "journal/JournalRig.h"
#include "journal/ProductionSummary.h"

namespace mrk::journal {
namespace {

// A record in one line: kind and number, day, station, image, result, the steps' outcomes.
struct Rec {
    RunKind kind;
    int number; // 0: none
    const char* day;
    const char* station;
    const char* image;
    const char* result; // "OK", "X", "stopped", "" (never ended)
    std::vector<StepOutcome> steps = {};
    bool redo = false;  // the operator said it is the same module again
};

JournalRecord Make(const Rec& r) {
    JournalRecord rec;
    rec.kind = r.kind;
    if (r.number) rec.factoryNumber = uint16_t(r.number);
    rec.startedUtc = std::string(r.day) + "T10:00:00Z";
    rec.station = r.station;
    rec.imageName = r.image;
    rec.result = r.result;
    rec.steps = r.steps;
    if (r.redo) rec.redoOf = "earlier";
    return rec;
}

ProductionSummary Of(const std::vector<Rec>& recs) {
    SummaryBuilder b([](const std::string& utc) { return utc.substr(0, 10); });
    for (const auto& r : recs) b.Add(Make(r));
    return b.Take();
}

const std::vector<StepOutcome> kBootFailed = {{0, "очистка", true}, {3, "загрузчик", false}};
const std::vector<StepOutcome> kUpdateFailed = {{0, "очистка", true}, {3, "загрузчик", true}, {5, "обновление", false}};

struct Expect {
    int64_t runs, ok, failed, unfinished, firstTries, firstTriesOk;
};
void Check(const Tally& t, const Expect& e) {
    EXPECT_EQ(t.runs, e.runs);
    EXPECT_EQ(t.ok, e.ok);
    EXPECT_EQ(t.failed, e.failed);
    EXPECT_EQ(t.unfinished, e.unfinished);
    EXPECT_EQ(t.firstTries, e.firstTries);
    EXPECT_EQ(t.firstTriesOk, e.firstTriesOk);
}

struct Case {
    const char* name;
    std::vector<Rec> recs;
    Expect total;
    std::vector<std::pair<std::string, Expect>> byDay;
    std::vector<std::pair<std::string, int64_t>> byStep; // most first
};

class Summary : public ::testing::TestWithParam<Case> {};

TEST_P(Summary, ReadsAsTheLineDoes) {
    const Case& c = GetParam();
    const ProductionSummary s = Of(c.recs);
    Check(s.total, c.total);
    ASSERT_EQ(s.byDay.size(), c.byDay.size());
    for (size_t i = 0; i < c.byDay.size(); ++i) {
        SCOPED_TRACE(c.byDay[i].first);
        EXPECT_EQ(s.byDay[i].key, c.byDay[i].first);
        Check(s.byDay[i].tally, c.byDay[i].second);
    }
    ASSERT_EQ(s.byStep.size(), c.byStep.size());
    for (size_t i = 0; i < c.byStep.size(); ++i) {
        EXPECT_EQ(s.byStep[i].step, c.byStep[i].first);
        EXPECT_EQ(s.byStep[i].failed, c.byStep[i].second);
    }
}

INSTANTIATE_TEST_SUITE_P(
    RecordSets, Summary,
    ::testing::Values(
        Case{"Nothing", {}, {0, 0, 0, 0, 0, 0}, {}, {}},
        // A module that failed and was done again is one first try that failed.
        Case{"RedoIsNoFirstTry",
             {{RunKind::Cycle, 1, "2026-12-01", "A", "v7", "X", kBootFailed},
              {RunKind::Cycle, 1, "2026-12-01", "A", "v7", "OK", {}, true},
              {RunKind::Cycle, 2, "2026-12-01", "A", "v7", "OK"}},
             {3, 2, 1, 0, 2, 1},
             {{"2026-12-01", {3, 2, 1, 0, 2, 1}}},
             {{"загрузчик", 1}}},
        // The same number again without the operator's word (a journal alone, a
        // number redone on another day) is still no first try.
        Case{"NumberSeenBeforeIsNoFirstTry",
             {{RunKind::Cycle, 7, "2026-12-01", "A", "v7", "X", kUpdateFailed},
              {RunKind::Cycle, 7, "2026-12-02", "B", "v7", "OK"}},
             {2, 1, 1, 0, 1, 0},
             {{"2026-12-01", {1, 0, 1, 0, 1, 0}}, {"2026-12-02", {1, 1, 0, 0, 0, 0}}},
             {{"обновление", 1}}},
        // Updates carry no number: each is its own first try; runs never ended and
        // runs stopped are told apart; the steps most failed come first.
        Case{"UpdatesUnfinishedAndStopped",
             {{RunKind::Update, 0, "2026-12-03", "A", "v7", "OK"},
              {RunKind::Update, 0, "2026-12-03", "A", "v7", "X", kUpdateFailed},
              {RunKind::Update, 0, "2026-12-03", "A", "v8", "X", kUpdateFailed},
              {RunKind::Cycle, 9, "2026-12-04", "A", "v8", "X", kBootFailed},
              {RunKind::Cycle, 10, "2026-12-04", "A", "v8", ""},
              {RunKind::Cycle, 11, "2026-12-04", "A", "v8", "stopped"},
              {RunKind::Cycle, 12, "2026-12-04", "A", "v8", "X"}},
             {7, 1, 5, 1, 7, 1},
             {{"2026-12-03", {3, 1, 2, 0, 3, 1}}, {"2026-12-04", {4, 0, 3, 1, 4, 0}}},
             {{"обновление", 2}, {"загрузчик", 1}, {"остановлена оператором", 1}, {"до первого шага", 1}}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Summary, StationsAndImagesSortedByName) {
    const ProductionSummary s = Of({{RunKind::Cycle, 1, "2026-12-01", "B", "v8", "OK"},
                                    {RunKind::Cycle, 2, "2026-12-01", "A", "", "X", kBootFailed},
                                    {RunKind::Cycle, 3, "2026-12-02", "B", "v7", "OK"}});
    ASSERT_EQ(s.byStation.size(), 2u);
    EXPECT_EQ(s.byStation[0].key, "A");
    Check(s.byStation[1].tally, {2, 2, 0, 0, 2, 2});
    ASSERT_EQ(s.byImage.size(), 3u);
    EXPECT_EQ(s.byImage[0].key, "");
    EXPECT_EQ(s.byImage[2].key, "v8");
    EXPECT_DOUBLE_EQ(s.total.FirstPassYield(), 200.0 / 3.0);
}

// The summary of a store is the summary of the records its filter picks, on either engine.
class SummaryOfAStore : public ::testing::TestWithParam<test::TestEngine> {};

TEST_P(SummaryOfAStore, FollowsTheFilter) {
    test::EngineJournal where(GetParam());
    if (!where.Available()) GTEST_SKIP() << test::PgServer::SkipReason();
    auto store = where.Store();
    for (const Rec& r : std::vector<Rec>{{RunKind::Cycle, 1, "2026-12-01", "A", "v7", "OK"},
                                         {RunKind::Cycle, 2, "2026-12-02", "A", "v7", "X", kBootFailed},
                                         {RunKind::Update, 0, "2026-12-02", "A", "v7", "OK"}}) {
        JournalRecord rec = Make(r);
        rec.uid = NewUid();
        rec.endedUtc = rec.startedUtc;
        (void)store->Put(rec, false);
    }
    ListFilter f;
    f.since = "2026-12-02T00:00:00Z";
    const ProductionSummary s = Summarise(*store, f);
    Check(s.total, {2, 1, 1, 0, 2, 1});
    ASSERT_EQ(s.byStep.size(), 1u);
    EXPECT_EQ(s.byStep[0].step, "загрузчик");
    EXPECT_EQ(FilterText({}), "все записи");
}

INSTANTIATE_TEST_SUITE_P(Engines, SummaryOfAStore, ::testing::Values(test::TestEngine::Sqlite, test::TestEngine::Postgres),
                         test::EngineName);

// The page stands alone: no script, nothing fetched, a policy that forbids both;
// text from the journal is shown, never obeyed; each chart has its numbers in a table.
TEST(HtmlReportPage, StandsAloneAndShowsJournalTextAsText) {
    const ProductionSummary s =
        Of({{RunKind::Cycle, 1, "2026-12-01", "<script>alert(1)</script>", "v7\"><img src=x>", "OK"},
            {RunKind::Cycle, 2, "2026-12-01", "A&B", "v7", "X", {{3, "<b>загрузчик</b>", false}}}});
    const std::string page = HtmlReport(s, {"PostgreSQL host=/x dbname=line", "все записи", "11.12.2026 12:00:00"});
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_EQ(page.find("<img"), std::string::npos);
    EXPECT_EQ(page.find("<b>"), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(page.find("A&amp;B"), std::string::npos);
    EXPECT_NE(page.find("default-src 'none'"), std::string::npos);
    // Nothing that loads: no tag with a src or href, no url() or @import.
    EXPECT_FALSE(std::regex_search(page, std::regex(R"((<[^>]*\s(src|href)=|url\(|@import))")));
    EXPECT_EQ(std::count(page.begin(), page.end(), '\0'), 0);
    for (const char* heading : {"Прогоны по дням", "Выход с первого раза по дням", "Отказы по шагам", "По станциям",
                                "По образам обновления"})
        EXPECT_NE(page.find(std::string("<h2>") + heading + "</h2>"), std::string::npos) << heading;
    EXPECT_NE(page.find("<td>1 из 2</td><td>50.0 %</td>"), std::string::npos) << "the totals' first-pass yield";
    EXPECT_EQ(HtmlText("a\x1b[31m"), "a?[31m");
}

TEST(HtmlReportPage, WrittenWholeOrNotAtAll) {
    test::JournalDir dir;
    JournalStore store(std::make_unique<SqliteConnection>(dir.File()));
    const HtmlFileResult ok = WriteHtmlReport(store, {}, dir.File("report.html"), {});
    EXPECT_TRUE(ok.written) << ok.error;
    const HtmlFileResult bad = WriteHtmlReport(store, {}, dir.File("no-such-folder/report.html"), {});
    EXPECT_FALSE(bad.written);
    EXPECT_FALSE(bad.error.empty());
}

} // namespace
} // namespace mrk::journal
