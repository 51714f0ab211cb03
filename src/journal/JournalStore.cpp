#include "journal/JournalStore.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "journal/Schema.h"

namespace mrk::journal {

namespace {

constexpr const char* kHeadColumns =
    "id, uid, kind, station, started_utc, ended_utc, programmer, chip, devid1, devid2, factory_number,"
    " module_number, image_name, image_sum1, image_sum2, boot_path, boot_sha256, config_hex, result, redo_of";

SqlValue Opt(const std::optional<std::string>& s) { return s ? SqlValue(*s) : SqlValue(nullptr); }
template <class T>
SqlValue OptInt(const std::optional<T>& v) {
    return v ? SqlValue(int64_t(*v)) : SqlValue(nullptr);
}
SqlValue TextOrNull(const std::string& s) { return s.empty() ? SqlValue(nullptr) : SqlValue(s); }

std::string HexBytes(const std::vector<uint8_t>& bytes) {
    std::string s;
    char b[3];
    for (uint8_t v : bytes) {
        std::snprintf(b, sizeof b, "%02X", v);
        s += b;
    }
    return s;
}

std::vector<uint8_t> BytesFromHex(const std::string& s) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < s.size(); i += 2) out.push_back(uint8_t(std::stoul(s.substr(i, 2), nullptr, 16)));
    return out;
}

int64_t Int(const std::optional<std::string>& s, int64_t dflt = 0) { return s ? std::stoll(*s) : dflt; }

JournalRecord HeadFromRow(const SqlRow& r) {
    JournalRecord rec;
    rec.id = Int(r[0]);
    rec.uid = r[1].value_or("");
    rec.kind = RunKindFromName(r[2].value_or("")).value_or(RunKind::Update);
    rec.station = r[3].value_or("");
    rec.startedUtc = r[4].value_or("");
    rec.endedUtc = r[5].value_or("");
    rec.programmer = r[6].value_or("");
    rec.chip = r[7].value_or("");
    rec.devId1 = uint8_t(Int(r[8]));
    rec.devId2 = uint8_t(Int(r[9]));
    if (r[10]) rec.factoryNumber = uint16_t(Int(r[10]));
    if (r[11]) rec.moduleNumber = uint32_t(Int(r[11]));
    rec.imageName = r[12].value_or("");
    rec.imageSum1 = uint8_t(Int(r[13]));
    rec.imageSum2 = uint8_t(Int(r[14]));
    rec.bootPath = r[15].value_or("");
    rec.bootSha256 = r[16].value_or("");
    rec.config = BytesFromHex(r[17].value_or(""));
    rec.result = r[18].value_or("");
    rec.redoOf = r[19];
    return rec;
}

} // namespace

JournalStore::JournalStore(std::unique_ptr<SqlConnection> db) : db_(std::move(db)) { Migrate(*db_); }

int64_t JournalStore::RunId(const std::string& uid) {
    const auto rows = db_->Query("SELECT id FROM runs WHERE uid = ?", {uid});
    if (rows.empty()) throw SqlError(db_->Where() + ": record " + uid + " is missing");
    return Int(rows[0][0]);
}

void JournalStore::WriteHead(const JournalRecord& rec, bool sent) {
    db_->Exec("UPDATE runs SET kind = ?, station = ?, started_utc = ?, ended_utc = ?, programmer = ?, chip = ?,"
              " devid1 = ?, devid2 = ?, factory_number = ?, module_number = ?, image_name = ?, image_sum1 = ?,"
              " image_sum2 = ?, boot_path = ?, boot_sha256 = ?, config_hex = ?, result = ?, redo_of = ?, sent = ?"
              " WHERE uid = ?",
              {std::string(RunKindName(rec.kind)), rec.station, rec.startedUtc, TextOrNull(rec.endedUtc),
               rec.programmer, rec.chip, int64_t(rec.devId1), int64_t(rec.devId2), OptInt(rec.factoryNumber),
               OptInt(rec.moduleNumber), rec.imageName, int64_t(rec.imageSum1), int64_t(rec.imageSum2),
               rec.bootPath, rec.bootSha256, HexBytes(rec.config), TextOrNull(rec.result), Opt(rec.redoOf),
               int64_t(sent ? 1 : 0), rec.uid});
}

void JournalStore::WriteSteps(int64_t runId, const JournalRecord& rec, size_t from) {
    for (size_t i = from; i < rec.steps.size(); ++i)
        db_->Exec("INSERT INTO run_steps (run_id, seq, step, name, ok) VALUES (?, ?, ?, ?, ?)"
                  " ON CONFLICT DO NOTHING",
                  {runId, int64_t(i), int64_t(rec.steps[i].step), rec.steps[i].name,
                   int64_t(rec.steps[i].ok ? 1 : 0)});
}

void JournalStore::WriteLog(int64_t runId, const JournalRecord& rec, size_t from) {
    for (size_t i = from; i < rec.log.size(); ++i)
        db_->Exec("INSERT INTO run_log (run_id, seq, line) VALUES (?, ?, ?) ON CONFLICT DO NOTHING",
                  {runId, int64_t(i), rec.log[i]});
}

OpenResult JournalStore::Open(JournalRecord& rec, bool reserve) {
    OpenResult out;
    InTransaction(*db_, [&] {
        if (reserve && rec.factoryNumber) {
            const auto got = db_->Query("INSERT INTO factory_numbers (number, run_uid, station, reserved_utc)"
                                        " VALUES (?, ?, ?, ?) ON CONFLICT (number) DO NOTHING RETURNING number",
                                        {int64_t(*rec.factoryNumber), rec.uid, rec.station, rec.startedUtc});
            if (got.empty()) {
                // Taken: the module that got the number last is the one a redo must name.
                const auto last = db_->Query(std::string("SELECT ") + kHeadColumns +
                                                 " FROM runs WHERE kind = 'cycle' AND factory_number = ?"
                                                 " ORDER BY id DESC LIMIT 1",
                                             {int64_t(*rec.factoryNumber)});
                JournalRecord holder;
                if (!last.empty()) {
                    holder = HeadFromRow(last[0]);
                } else {
                    const auto res = db_->Query("SELECT run_uid, station, reserved_utc FROM factory_numbers"
                                                " WHERE number = ?",
                                                {int64_t(*rec.factoryNumber)});
                    if (!res.empty()) {
                        holder.uid = res[0][0].value_or("");
                        holder.station = res[0][1].value_or("");
                        holder.startedUtc = res[0][2].value_or("");
                    }
                    holder.factoryNumber = rec.factoryNumber;
                }
                if (!rec.redoOf || *rec.redoOf != holder.uid) {
                    out.holder = holder;
                    return;
                }
            }
        }
        const auto id = db_->Query("INSERT INTO runs (uid, kind, station, started_utc) VALUES (?, ?, ?, ?)"
                                   " RETURNING id",
                                   {rec.uid, std::string(RunKindName(rec.kind)), rec.station, rec.startedUtc});
        rec.id = Int(id.at(0)[0]);
        WriteHead(rec, false);
        WriteSteps(rec.id, rec, 0);
        WriteLog(rec.id, rec, 0);
        out.opened = true;
    });
    return out;
}

void JournalStore::AddStep(const JournalRecord& rec, size_t stepIndex, size_t logFrom) {
    InTransaction(*db_, [&] {
        const int64_t id = RunId(rec.uid);
        WriteSteps(id, rec, stepIndex);
        WriteLog(id, rec, logFrom);
    });
}

void JournalStore::Finish(const JournalRecord& rec, size_t logFrom, bool sent) {
    InTransaction(*db_, [&] {
        const int64_t id = RunId(rec.uid);
        WriteHead(rec, sent);
        WriteSteps(id, rec, 0);
        WriteLog(id, rec, logFrom);
    });
}

void JournalStore::Put(const JournalRecord& rec, bool sent) {
    InTransaction(*db_, [&] {
        db_->Exec("INSERT INTO runs (uid, kind, station, started_utc) VALUES (?, ?, ?, ?)"
                  " ON CONFLICT (uid) DO NOTHING",
                  {rec.uid, std::string(RunKindName(rec.kind)), rec.station, rec.startedUtc});
        const int64_t id = RunId(rec.uid);
        WriteHead(rec, sent);
        db_->Exec("DELETE FROM run_steps WHERE run_id = ?", {id});
        db_->Exec("DELETE FROM run_log WHERE run_id = ?", {id});
        WriteSteps(id, rec, 0);
        WriteLog(id, rec, 0);
    });
}

std::vector<JournalRecord> JournalStore::List(const ListFilter& f, bool withSteps) {
    std::string sql = std::string("SELECT ") + kHeadColumns + " FROM runs WHERE 1 = 1";
    std::vector<SqlValue> params;
    if (!f.since.empty()) {
        sql += " AND started_utc >= ?";
        params.emplace_back(f.since);
    }
    if (f.number) {
        sql += " AND factory_number = ?";
        params.emplace_back(int64_t(*f.number));
    }
    if (f.failedOnly) sql += " AND (result IS NULL OR result <> 'OK')";
    if (!f.station.empty()) {
        sql += " AND station = ?";
        params.emplace_back(f.station);
    }
    if (f.limit) {
        // The newest n, shown oldest first like the rest.
        sql = "SELECT * FROM (" + sql + " ORDER BY started_utc DESC, id DESC LIMIT ?) newest";
        params.emplace_back(int64_t(*f.limit));
    }
    sql += " ORDER BY started_utc, id";
    std::vector<JournalRecord> out;
    for (const auto& row : db_->Query(sql, params)) out.push_back(HeadFromRow(row));
    if (withSteps && !out.empty()) {
        // The steps of all of them in one query, not one per record.
        std::unordered_map<int64_t, JournalRecord*> byId;
        int64_t lo = out.front().id, hi = lo;
        for (auto& rec : out) {
            byId[rec.id] = &rec;
            lo = std::min(lo, rec.id);
            hi = std::max(hi, rec.id);
        }
        for (const auto& r : db_->Query("SELECT run_id, step, name, ok FROM run_steps"
                                        " WHERE run_id >= ? AND run_id <= ? ORDER BY run_id, seq",
                                        {lo, hi}))
            if (auto it = byId.find(Int(r[0])); it != byId.end())
                it->second->steps.push_back({int(Int(r[1])), r[2].value_or(""), Int(r[3]) != 0});
    }
    return out;
}

void JournalStore::LoadDetails(JournalRecord& rec) {
    for (const auto& r : db_->Query("SELECT step, name, ok FROM run_steps WHERE run_id = ? ORDER BY seq", {rec.id}))
        rec.steps.push_back({int(Int(r[0])), r[1].value_or(""), Int(r[2]) != 0});
    for (const auto& r : db_->Query("SELECT line FROM run_log WHERE run_id = ? ORDER BY seq", {rec.id}))
        rec.log.push_back(r[0].value_or(""));
}

std::optional<JournalRecord> JournalStore::Get(int64_t id) {
    const auto rows = db_->Query(std::string("SELECT ") + kHeadColumns + " FROM runs WHERE id = ?", {id});
    if (rows.empty()) return std::nullopt;
    auto rec = HeadFromRow(rows[0]);
    LoadDetails(rec);
    return rec;
}

std::optional<JournalRecord> JournalStore::GetByUid(const std::string& uid) {
    const auto rows = db_->Query(std::string("SELECT ") + kHeadColumns + " FROM runs WHERE uid = ?", {uid});
    if (rows.empty()) return std::nullopt;
    auto rec = HeadFromRow(rows[0]);
    LoadDetails(rec);
    return rec;
}

std::vector<JournalRecord> JournalStore::Unsent() {
    std::vector<JournalRecord> out;
    for (const auto& row :
         db_->Query(std::string("SELECT ") + kHeadColumns + " FROM runs WHERE sent = 0 ORDER BY id"))
        out.push_back(HeadFromRow(row));
    for (auto& rec : out) LoadDetails(rec);
    return out;
}

void JournalStore::MarkSent(const std::string& uid) { db_->Exec("UPDATE runs SET sent = 1 WHERE uid = ?", {uid}); }

} // namespace mrk::journal
