#include "journal/JournalStore.h"

#include <algorithm>
#include <chrono>

#include "journal/RecordRow.h"
#include "journal/Schema.h"

namespace mrk::journal {

namespace {

SqlValue Opt(const std::optional<std::string>& s) { return s ? SqlValue(*s) : SqlValue(nullptr); }
template <class T>
SqlValue OptInt(const std::optional<T>& v) {
    return v ? SqlValue(int64_t(*v)) : SqlValue(nullptr);
}
SqlValue TextOrNull(const std::string& s) { return s.empty() ? SqlValue(nullptr) : SqlValue(s); }

int64_t IdOf(const SqlRow& row, const std::string& where) {
    const auto id = row.empty() ? std::nullopt : CheckedInt(row[0], 1, INT64_MAX);
    if (!id) throw SqlError(where + ": номер записи в базе — не число");
    return *id;
}

// The filter as SQL conditions, every value a parameter.
std::string Conditions(const ListFilter& f, std::vector<SqlValue>& params) {
    std::string sql = " WHERE 1 = 1";
    auto add = [&](const char* cond, SqlValue v) {
        sql += cond;
        params.push_back(std::move(v));
    };
    if (!f.since.empty()) add(" AND started_utc >= ?", f.since);
    if (!f.until.empty()) add(" AND started_utc < ?", f.until);
    if (f.number) add(" AND factory_number = ?", int64_t(*f.number));
    if (f.failedOnly) sql += " AND (result IS NULL OR result <> 'OK')";
    if (!f.station.empty()) add(" AND station = ?", f.station);
    if (f.result == "unfinished") sql += " AND result IS NULL";
    else if (!f.result.empty()) add(" AND result = ?", f.result);
    if (!f.chip.empty()) add(" AND chip = ?", f.chip);
    if (f.kind) add(" AND kind = ?", std::string(RunKindName(*f.kind)));
    if (f.conflictsOnly) sql += " AND conflict IS NOT NULL";
    if (f.waitingOnly) sql += " AND sent = 0";
    return sql;
}

} // namespace

int64_t Revision(const JournalRecord& rec) {
    return (rec.Finished() ? int64_t(1) << 40 : 0) + (int64_t(rec.steps.size()) << 20) + int64_t(rec.log.size());
}

JournalStore::JournalStore(std::unique_ptr<SqlConnection> db, Access access)
    : db_(std::move(db)), head_(kHeadColumns) {
    // Looked at first without any lock: the migration lock is taken only by the
    // one station that finds the journal behind this program's version.
    const int v = SchemaVersionForReading(*db_);
    if (access == Access::Write) {
        if (v != kSchemaVersion) Migrate(*db_);
        return;
    }
    if (v == kSchemaVersion) return;
    // The version before differs only by columns a reader can do without: a
    // station's journal stays readable until its next run brings it up to date.
    if (v == kSchemaVersion - 1) {
        head_ = kHeadColumnsBefore;
        return;
    }
    if (v == 0) throw SqlError(db_->Where() + ": журнала в ней ещё нет");
    throw SqlError(db_->Where() + ": журнал версии " + std::to_string(v) +
                   (v < kSchemaVersion ? ", старее версии этой программы (" + std::to_string(kSchemaVersion) +
                                             "); его обновит следующий прогон на его станции"
                                       : ", новее версии этой программы (" + std::to_string(kSchemaVersion) +
                                             "); обновите программу на этой станции"));
}

std::string JournalStore::StepsColumn() const {
    // Each step as "step US ok US name", RS between them, in their order.
    // (An array in order rather than an ordered aggregate: PostgreSQL sets up a sort
    // for each record's aggregate, a sixth of a long read's time.)
    if (db_->Kind() == Engine::Postgres)
        return "array_to_string(ARRAY(SELECT s.step || chr(31) || s.ok || chr(31) || s.name"
               " FROM run_steps s WHERE s.run_id = runs.id ORDER BY s.seq), chr(30))";
    return "(SELECT group_concat(x, char(30)) FROM (SELECT s.step || char(31) || s.ok || char(31) || s.name AS x"
           " FROM run_steps s WHERE s.run_id = runs.id ORDER BY s.seq))";
}

void JournalStore::WriteHead(const JournalRecord& rec, bool sent) {
    db_->Exec("UPDATE runs SET kind = ?, station = ?, started_utc = ?, ended_utc = ?, programmer = ?, chip = ?,"
              " devid1 = ?, devid2 = ?, factory_number = ?, module_number = ?, image_name = ?, image_sum1 = ?,"
              " image_sum2 = ?, boot_path = ?, boot_sha256 = ?, config_hex = ?, result = ?, redo_of = ?, sent = ?,"
              " revision = ?, programmer_serial = ? WHERE uid = ?",
              {std::string(RunKindName(rec.kind)), rec.station, rec.startedUtc, TextOrNull(rec.endedUtc),
               rec.programmer, rec.chip, int64_t(rec.devId1), int64_t(rec.devId2), OptInt(rec.factoryNumber),
               OptInt(rec.moduleNumber), rec.imageName, int64_t(rec.imageSum1), int64_t(rec.imageSum2),
               rec.bootPath, rec.bootSha256, HexBytes(rec.config), TextOrNull(rec.result), Opt(rec.redoOf),
               int64_t(sent ? 1 : 0), Revision(rec), rec.programmerSerial, rec.uid});
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

std::optional<JournalRecord> JournalStore::One(const std::string& where, const std::vector<SqlValue>& params) {
    const auto rows = db_->Query(std::string("SELECT ") + head_ + ", " + StepsColumn() + " FROM runs " +
                                     where,
                                 params);
    if (rows.empty()) return std::nullopt;
    std::string error;
    auto rec = RecordFromRow(rows[0], error);
    if (!rec) throw SqlError(db_->Where() + ": " + error);
    return rec;
}

std::optional<JournalRecord> JournalStore::Holder(uint16_t number) {
    const auto res =
        db_->Query("SELECT run_uid, station, reserved_utc FROM factory_numbers WHERE number = ?", {int64_t(number)});
    if (res.empty()) return std::nullopt;
    JournalRecord holder;
    try {
        // The module that got the number last is the one a redo must name.
        if (auto last = One("WHERE kind = 'cycle' AND factory_number = ? ORDER BY id DESC LIMIT 1",
                            {int64_t(number)}))
            return last;
    } catch (const SqlError&) {
        // A damaged record: the reservation alone still says the number is taken.
    }
    holder.uid = res[0][0].value_or("");
    holder.station = res[0][1].value_or("");
    holder.startedUtc = res[0][2].value_or("");
    holder.factoryNumber = number;
    return holder;
}

OpenResult JournalStore::ReserveNumber(const JournalRecord& rec, bool mustHold) {
    OpenResult out;
    if (!rec.factoryNumber) {
        out.opened = true;
        return out;
    }
    // A transaction of its own: whatever happens to the record's details later
    // (refused, never sent), the number stays reserved.
    InTransaction(*db_, [&] {
        const auto got = db_->Query("INSERT INTO factory_numbers (number, run_uid, station, reserved_utc)"
                                    " VALUES (?, ?, ?, ?) ON CONFLICT (number) DO NOTHING RETURNING number",
                                    {int64_t(*rec.factoryNumber), rec.uid, rec.station, rec.startedUtc});
        if (!got.empty()) {
            out.opened = true;
            return;
        }
        // Reserved for this very record already: an earlier answer that never arrived.
        const auto res = db_->Query("SELECT run_uid FROM factory_numbers WHERE number = ?", {int64_t(*rec.factoryNumber)});
        if (!res.empty() && res[0][0] && *res[0][0] == rec.uid) {
            out.opened = true;
            return;
        }
        auto holder = Holder(*rec.factoryNumber);
        if (mustHold && holder && (!rec.redoOf || *rec.redoOf != holder->uid)) {
            out.holder = std::move(holder);
            return;
        }
        out.opened = true;
    });
    return out;
}

int64_t JournalStore::ReserveNumbers(const std::vector<NumberClaim>& claims) {
    int64_t reserved = 0;
    constexpr size_t kChunk = 20000;
    for (size_t from = 0; from < claims.size(); from += kChunk) {
        const size_t to = std::min(claims.size(), from + kChunk);
        InTransaction(*db_, [&] {
            if (db_->Kind() == Engine::Postgres) {
                // One statement per chunk, the claims as arrays: a backlog of a whole
                // station's numbers goes in a few round trips.
                std::string numbers = "{", uids = "{", stations = "{", times = "{";
                auto text = [](std::string& out, const std::string& v) {
                    out += '"';
                    for (char c : v) {
                        if (c == '"' || c == '\\') out += '\\';
                        out += c;
                    }
                    out += '"';
                };
                for (size_t i = from; i < to; ++i) {
                    const char* sep = i == from ? "" : ",";
                    numbers += sep + std::to_string(claims[i].number);
                    uids += sep;
                    text(uids, claims[i].uid);
                    stations += sep;
                    text(stations, claims[i].station);
                    times += sep;
                    text(times, claims[i].startedUtc);
                }
                numbers += '}', uids += '}', stations += '}', times += '}';
                const auto rows = db_->Query(
                    "WITH claims AS (SELECT * FROM unnest(?::int[], ?::text[], ?::text[], ?::text[])"
                    " WITH ORDINALITY AS c(number, run_uid, station, reserved_utc, ord)),"
                    " got AS (INSERT INTO factory_numbers (number, run_uid, station, reserved_utc)"
                    " SELECT DISTINCT ON (number) number, run_uid, station, reserved_utc FROM claims"
                    " ORDER BY number, ord ON CONFLICT (number) DO NOTHING RETURNING number)"
                    " SELECT count(*) FROM got",
                    {numbers, uids, stations, times});
                reserved += rows.empty() ? 0 : CheckedInt(rows[0][0], 0, INT64_MAX).value_or(0);
                return;
            }
            for (size_t i = from; i < to; ++i)
                reserved += int64_t(!db_->Query("INSERT INTO factory_numbers (number, run_uid, station, reserved_utc)"
                                                " VALUES (?, ?, ?, ?) ON CONFLICT (number) DO NOTHING RETURNING number",
                                                {int64_t(claims[i].number), claims[i].uid, claims[i].station,
                                                 claims[i].startedUtc})
                                         .empty());
        });
    }
    return reserved;
}

std::vector<NumberClaim> JournalStore::CycleNumbers(int64_t afterId, int64_t& lastId) {
    std::vector<NumberClaim> out;
    lastId = afterId;
    db_->Each("SELECT id, factory_number, uid, station, started_utc FROM runs WHERE id > ? AND kind = 'cycle'"
              " AND factory_number IS NOT NULL ORDER BY id",
              {afterId}, [&](const SqlRow& row) {
                  const auto id = CheckedInt(row[0], 1, INT64_MAX);
                  const auto n = CheckedInt(row[1], 0, 65535);
                  if (!id) return;
                  lastId = std::max(lastId, *id);
                  if (!n || !row[2]) return;
                  out.push_back({uint16_t(*n), *row[2], row[3].value_or(""), row[4].value_or("")});
              });
    return out;
}

OpenResult JournalStore::Open(JournalRecord& rec, bool reserve, bool mustHold) {
    OpenResult out;
    if (reserve && rec.factoryNumber) {
        out = ReserveNumber(rec, mustHold);
        if (!out.opened) return out;
        out.opened = false;
    }
    InTransaction(*db_, [&] {
        const auto id = db_->Query("INSERT INTO runs (uid, kind, station, started_utc) VALUES (?, ?, ?, ?)"
                                   " RETURNING id",
                                   {rec.uid, std::string(RunKindName(rec.kind)), rec.station, rec.startedUtc});
        rec.id = IdOf(id.at(0), db_->Where());
        WriteHead(rec, false);
        WriteSteps(rec.id, rec, 0);
        WriteLog(rec.id, rec, 0);
        out.opened = true;
    });
    return out;
}

void JournalStore::AddStep(const JournalRecord& rec, size_t stepIndex, size_t logFrom) {
    InTransaction(*db_, [&] {
        const auto row = db_->Query("UPDATE runs SET revision = ? WHERE uid = ? RETURNING id", {Revision(rec), rec.uid});
        if (row.empty()) throw SqlError(db_->Where() + ": записи " + rec.uid + " нет");
        const int64_t id = IdOf(row[0], db_->Where());
        WriteSteps(id, rec, stepIndex);
        WriteLog(id, rec, logFrom);
    });
}

void JournalStore::Finish(const JournalRecord& rec, size_t logFrom, bool sent) {
    InTransaction(*db_, [&] {
        const auto row = db_->Query("SELECT id FROM runs WHERE uid = ?", {rec.uid});
        if (row.empty()) throw SqlError(db_->Where() + ": записи " + rec.uid + " нет");
        const int64_t id = IdOf(row[0], db_->Where());
        WriteHead(rec, sent);
        WriteSteps(id, rec, 0);
        WriteLog(id, rec, logFrom);
    });
}

PutResult JournalStore::Put(const JournalRecord& rec, bool sent) {
    PutResult out;
    // The station's number counts on the line: reserved here first, on its own, so
    // that a record whose details the server refuses still holds it; or, held by
    // another module's record, a conflict shown on both.
    std::string other;
    if (rec.kind == RunKind::Cycle && rec.factoryNumber) {
        InTransaction(*db_, [&] {
            const auto got = db_->Query("INSERT INTO factory_numbers (number, run_uid, station, reserved_utc)"
                                        " VALUES (?, ?, ?, ?) ON CONFLICT (number) DO NOTHING RETURNING number",
                                        {int64_t(*rec.factoryNumber), rec.uid, rec.station, rec.startedUtc});
            if (!got.empty()) return;
            const auto res =
                db_->Query("SELECT run_uid FROM factory_numbers WHERE number = ?", {int64_t(*rec.factoryNumber)});
            const std::string holder = res.empty() ? "" : res[0][0].value_or("");
            if (holder.empty() || holder == rec.uid || (rec.redoOf && *rec.redoOf == holder)) return;
            // A redo of a redo (of a redo...) of the holder is the same module too: the
            // chain of records it was redone from is followed back to the holder.
            const auto chain = db_->Query("WITH RECURSIVE chain(uid) AS (SELECT CAST(? AS TEXT)"
                                          " UNION SELECT runs.redo_of FROM runs JOIN chain ON runs.uid = chain.uid"
                                          " WHERE runs.redo_of IS NOT NULL)"
                                          " SELECT count(*) FROM chain WHERE uid = ?",
                                          {Opt(rec.redoOf), holder});
            if (!chain.empty() && chain[0][0].value_or("0") != "0") return;
            other = holder;
        });
    }
    InTransaction(*db_, [&] {
        db_->Exec("INSERT INTO runs (uid, kind, station, started_utc, revision) VALUES (?, ?, ?, ?, -1)"
                  " ON CONFLICT (uid) DO NOTHING",
                  {rec.uid, std::string(RunKindName(rec.kind)), rec.station, rec.startedUtc});
        // Only over an older copy, decided in the one statement that locks the row.
        const auto row = db_->Query("UPDATE runs SET revision = ? WHERE uid = ? AND revision < ? RETURNING id",
                                    {Revision(rec), rec.uid, Revision(rec)});
        if (!row.empty()) {
            const int64_t id = IdOf(row[0], db_->Where());
            WriteHead(rec, sent);
            db_->Exec("DELETE FROM run_steps WHERE run_id = ?", {id});
            db_->Exec("DELETE FROM run_log WHERE run_id = ?", {id});
            WriteSteps(id, rec, 0);
            WriteLog(id, rec, 0);
            out.written = true;
        }
        if (other.empty()) return;
        MarkConflict(rec.uid, other);
        MarkConflict(other, rec.uid);
        out.conflict = other;
    });
    return out;
}

void JournalStore::MarkConflict(const std::string& uid, const std::string& otherUid) {
    db_->Exec("UPDATE runs SET conflict = ? WHERE uid = ?", {otherUid, uid});
}

void JournalStore::Each(const ListFilter& f, const std::function<void(const JournalRecord&)>& record,
                        const std::function<void(const std::string&)>& bad) {
    std::vector<SqlValue> params;
    std::string sql = std::string("SELECT ") + head_ + ", " + StepsColumn() + " FROM runs" + Conditions(f, params);
    if (f.limit) {
        // The newest n, shown oldest first like the rest.
        sql = "SELECT * FROM (" + sql + " ORDER BY started_utc DESC, id DESC LIMIT ? OFFSET ?) newest";
        params.emplace_back(int64_t(*f.limit));
        params.emplace_back(f.skipNewest);
    }
    sql += " ORDER BY started_utc, id";
    std::string error;
    JournalRecord rec; // one for all the rows, its strings reused
    db_->Each(sql, params, [&](const SqlRow& row) {
        if (ReadRecord(row, rec, error)) record(rec);
        else if (bad) bad(error);
    });
}

std::vector<JournalRecord> JournalStore::List(const ListFilter& f, bool withSteps) {
    std::vector<JournalRecord> out;
    Each(f, [&](const JournalRecord& r) {
        out.push_back(r);
        if (!withSteps) out.back().steps.clear();
    });
    return out;
}

int64_t JournalStore::Count(const ListFilter& f) {
    std::vector<SqlValue> params;
    const auto rows = db_->Query("SELECT count(*) FROM runs" + Conditions(f, params), params);
    return rows.empty() ? 0 : CheckedInt(rows[0][0], 0, INT64_MAX).value_or(0);
}

std::vector<SummaryRow> JournalStore::Summary(const ListFilter& f, SummaryBy by) {
    std::vector<SqlValue> params;
    const std::string key = by == SummaryBy::Day       ? "substr(started_utc, 1, 10)"
                            : by == SummaryBy::Station ? "station"
                                                       : "image_name";
    const auto rows = db_->Query("SELECT " + key +
                                     ", count(*), sum(CASE WHEN result = 'OK' THEN 1 ELSE 0 END),"
                                     " sum(CASE WHEN result = 'X' THEN 1 ELSE 0 END),"
                                     " sum(CASE WHEN result IS NULL THEN 1 ELSE 0 END) FROM runs" +
                                     Conditions(f, params) + " GROUP BY " + key + " ORDER BY " + key,
                                 params);
    std::vector<SummaryRow> out;
    for (const auto& r : rows) {
        SummaryRow s;
        s.key = r[0].value_or("");
        s.runs = CheckedInt(r[1], 0, INT64_MAX).value_or(0);
        s.ok = CheckedInt(r[2], 0, INT64_MAX).value_or(0);
        s.failed = CheckedInt(r[3], 0, INT64_MAX).value_or(0);
        s.unfinished = CheckedInt(r[4], 0, INT64_MAX).value_or(0);
        out.push_back(s);
    }
    return out;
}

void JournalStore::LoadDetails(JournalRecord& rec) {
    rec.log.clear();
    for (const auto& r : db_->Query("SELECT line FROM run_log WHERE run_id = ? ORDER BY seq", {rec.id}))
        rec.log.push_back(r[0].value_or(""));
}

std::optional<JournalRecord> JournalStore::Get(int64_t id) {
    auto rec = One("WHERE id = ?", {id});
    if (rec) LoadDetails(*rec);
    return rec;
}

std::optional<JournalRecord> JournalStore::GetByUid(const std::string& uid) {
    std::optional<JournalRecord> rec;
    if (uid.size() >= 32) {
        rec = One("WHERE uid = ?", {uid});
    } else {
        // A uid's beginning, as the lists show it; the range keeps it on the index.
        const auto rows = db_->Query("SELECT count(*) FROM runs WHERE uid >= ? AND uid < ?", {uid, uid + "\x7f"});
        if (!rows.empty() && CheckedInt(rows[0][0], 0, INT64_MAX).value_or(0) > 1)
            throw SqlError("с " + uid + " начинаются несколько записей; укажите больше знаков");
        rec = One("WHERE uid >= ? AND uid < ?", {uid, uid + "\x7f"});
    }
    if (rec) LoadDetails(*rec);
    return rec;
}

std::vector<JournalRecord> JournalStore::Unsent(int limit, bool withSetAside, int64_t afterId) {
    std::vector<JournalRecord> out;
    // A run that has not ended may still be going on this station: it goes when it
    // ends, or, killed, once no run can last that long.
    const auto cutoff = std::chrono::system_clock::now() - std::chrono::hours(1);
    std::vector<SqlValue> params{afterId, UtcText(cutoff)};
    std::string sql = std::string("SELECT ") + head_ + ", " + StepsColumn() +
                      " FROM runs WHERE sent = 0 AND id > ? AND (ended_utc IS NOT NULL OR started_utc < ?)";
    if (!withSetAside) sql += " AND set_aside IS NULL";
    sql += " ORDER BY id";
    if (limit > 0) {
        sql += " LIMIT ?";
        params.emplace_back(int64_t(limit));
    }
    std::string error;
    for (const auto& row : db_->Query(sql, params)) {
        auto rec = RecordFromRow(row, error);
        // A damaged record cannot be sent as it is: it waits aside, with the reason.
        if (!rec) {
            const auto uid = row.size() > 1 ? row[1] : std::nullopt;
            if (uid) SetAside(*uid, error);
            continue;
        }
        out.push_back(std::move(*rec));
    }
    for (auto& rec : out) LoadDetails(rec);
    return out;
}

int64_t JournalStore::CountUnsent() {
    const auto rows = db_->Query("SELECT count(*) FROM runs WHERE sent = 0");
    return rows.empty() ? 0 : CheckedInt(rows[0][0], 0, INT64_MAX).value_or(0);
}

int64_t JournalStore::CountSetAside() {
    const auto rows = db_->Query("SELECT count(*) FROM runs WHERE sent = 0 AND set_aside IS NOT NULL");
    return rows.empty() ? 0 : CheckedInt(rows[0][0], 0, INT64_MAX).value_or(0);
}

void JournalStore::MarkSent(const std::string& uid) {
    db_->Exec("UPDATE runs SET sent = 1, set_aside = NULL WHERE uid = ?", {uid});
}

void JournalStore::SetAside(const std::string& uid, const std::string& why) {
    db_->Exec("UPDATE runs SET set_aside = ? WHERE uid = ?", {why, uid});
}

} // namespace mrk::journal
