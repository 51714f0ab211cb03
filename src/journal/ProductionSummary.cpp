#include "journal/ProductionSummary.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "journal/ProductionJournal.h"
#include "journal/UtcTime.h"

namespace mrk::journal {

namespace {

Tally& Find(std::vector<KeyedTally>& rows, const std::string& key) {
    // Few keys (days of a report, stations, images): a search is cheaper than a map's nodes.
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        if (it->key == key) return it->tally;
    rows.push_back({key, {}});
    return rows.back().tally;
}

void Count(Tally& t, const JournalRecord& r, bool firstTry) {
    ++t.runs;
    if (r.result == "OK") ++t.ok;
    else if (r.result.empty()) ++t.unfinished;
    else ++t.failed; // "X", and a run stopped by its operator
    if (firstTry) {
        ++t.firstTries;
        if (r.result == "OK") ++t.firstTriesOk;
    }
}

std::vector<KeyedTally> SortedByKey(std::vector<KeyedTally> rows) {
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.key < b.key; });
    return rows;
}

} // namespace

double Tally::FirstPassYield() const {
    return firstTries ? 100.0 * double(firstTriesOk) / double(firstTries) : 0.0;
}

std::string LocalDay(const std::string& utc) {
    const std::string local = LocalTimeText(utc); // "dd.mm.yyyy HH:MM:SS"
    if (local == utc || local.size() < 10) return "?";
    return local.substr(6, 4) + "-" + local.substr(3, 2) + "-" + local.substr(0, 2);
}

SummaryBuilder::SummaryBuilder(std::function<std::string(const std::string&)> dayOf)
    : dayOf_(dayOf ? std::move(dayOf) : LocalDay), numberSeen_(65536, false) {}

void SummaryBuilder::Add(const JournalRecord& r) {
    // The same module again: a redo names its earlier record; a cycle on a number
    // already seen in these records is one too, whatever its operator answered.
    bool firstTry = !r.redoOf.has_value();
    if (r.kind == RunKind::Cycle && r.factoryNumber) {
        if (numberSeen_[*r.factoryNumber]) firstTry = false;
        numberSeen_[*r.factoryNumber] = true;
    }
    Count(out_.total, r, firstTry);
    Count(Find(days_, dayOf_(r.startedUtc)), r, firstTry);
    Count(Find(stations_, r.station), r, firstTry);
    Count(Find(images_, r.imageName), r, firstTry);
    if (r.result.empty() || r.result == "OK") return;
    std::string step = r.result == "stopped" ? "остановлена оператором" : "до первого шага";
    if (r.result != "stopped")
        for (const auto& s : r.steps)
            if (!s.ok) {
                step = s.name.empty() ? "шаг " + std::to_string(s.step) : s.name;
                break;
            }
    auto it = std::find_if(steps_.begin(), steps_.end(), [&](const StepFailures& f) { return f.step == step; });
    if (it == steps_.end()) steps_.push_back({step, 1});
    else ++it->failed;
}

ProductionSummary SummaryBuilder::Take() {
    out_.byDay = SortedByKey(std::move(days_));
    out_.byStation = SortedByKey(std::move(stations_));
    out_.byImage = SortedByKey(std::move(images_));
    out_.byStep = std::move(steps_);
    std::stable_sort(out_.byStep.begin(), out_.byStep.end(),
                     [](const auto& a, const auto& b) { return a.failed > b.failed; });
    ProductionSummary done = std::move(out_);
    out_ = {};
    days_.clear();
    stations_.clear();
    images_.clear();
    steps_.clear();
    numberSeen_.assign(numberSeen_.size(), false);
    return done;
}

ProductionSummary Summarise(JournalStore& store, const ListFilter& f) {
    SummaryBuilder b;
    store.Each(f, [&](const JournalRecord& r) { b.Add(r); }, [&](const std::string&) { b.AddDamaged(); });
    return b.Take();
}

std::string FilterText(const ListFilter& f) {
    std::vector<std::string> parts;
    if (!f.since.empty()) parts.push_back("с " + LocalTimeText(f.since));
    if (!f.until.empty()) parts.push_back("до " + LocalTimeText(f.until));
    if (!f.station.empty()) parts.push_back("станция " + f.station);
    if (f.number) parts.push_back("заводской номер " + std::to_string(*f.number));
    if (f.kind) parts.push_back(std::string("вид: ") + RunKindText(*f.kind));
    if (!f.chip.empty()) parts.push_back("микросхема " + f.chip);
    if (!f.result.empty()) parts.push_back("итог " + (f.result == "unfinished" ? std::string("не закончена") : f.result));
    if (f.failedOnly) parts.push_back("только X и не законченные");
    if (f.conflictsOnly) parts.push_back("только конфликты номеров");
    if (f.waitingOnly) parts.push_back("только не отправленные на сервер");
    if (parts.empty()) return "все записи";
    std::string out;
    for (const auto& p : parts) out += (out.empty() ? "" : ", ") + p;
    return out;
}

} // namespace mrk::journal
