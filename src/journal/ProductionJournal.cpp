#include "journal/ProductionJournal.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include "journal/NextNumber.h"
#include "journal/PgConnection.h"
#include "journal/RecordRow.h"
#include "journal/RunLock.h"
#include "journal/UtcTime.h"
#include "journal/SqliteConnection.h"

namespace mrk::journal {

namespace {

constexpr int kRecordsSentPerRun = 20;
constexpr int kSyncBatch = 200;
// How many times a run's end tries the station file (held by another program, a
// full disk), and the pause between tries (a lock has its own busy wait besides).
constexpr int kFinishAttempts = 3;
constexpr auto kFinishPause = std::chrono::milliseconds(300);

std::string Describe(const JournalRecord& holder) {
    std::string s = "станция " + (holder.station.empty() ? std::string("?") : holder.station);
    if (!holder.startedUtc.empty()) s += ", " + LocalTimeText(holder.startedUtc);
    s += ", результат " + ResultText(holder);
    return s;
}

} // namespace

std::string ResultText(const JournalRecord& r) {
    // "OK" and "X" are what the station's indicator shows; the rest are said in words.
    if (r.result.empty()) return "не закончена";
    if (r.result == "stopped") return "остановлена";
    return r.result;
}
const char* RunKindText(RunKind k) { return k == RunKind::Cycle ? "цикл" : "обновление"; }
std::string ShortUid(const JournalRecord& r) { return r.uid.substr(0, 12); }

ProductionJournal::ProductionJournal(JournalSettings s) : settings_(std::move(s)) {}
ProductionJournal::~ProductionJournal() = default;

void ProductionJournal::Configure(JournalSettings s) {
    settings_ = std::move(s);
    local_.reset();
    server_.reset();
}

void ProductionJournal::Say(const std::string& line) {
    if (say) say(line);
}

JournalStore* ProductionJournal::Local(std::string& error) {
    error.clear();
    if (!local_) {
        // Tried afresh each time: another process's lock or a full disk may be over.
        try {
            std::error_code ec;
            const bool baseThere = settings_.folderBase.empty() || std::filesystem::is_directory(settings_.folderBase, ec);
            if (!settings_.folderToMake.empty() && baseThere)
                std::filesystem::create_directories(settings_.folderToMake, ec);
            local_ = std::make_unique<JournalStore>(std::make_unique<SqliteConnection>(
                settings_.file, SqliteConnection::Access::Write, settings_.fileWaitMs));
        } catch (const std::exception& e) {
            error = e.what();
        }
    }
    return local_.get();
}

std::unique_ptr<JournalStore> ProductionJournal::ReadLocal(std::string& error) const {
    error.clear();
    std::error_code ec;
    // No file, or the empty one the package makes: no run has written yet.
    if (!std::filesystem::exists(settings_.file, ec) && !ec) return nullptr;
    if (std::filesystem::file_size(settings_.file, ec) == 0 && !ec) return nullptr;
    try {
        return std::make_unique<JournalStore>(
            std::make_unique<SqliteConnection>(settings_.file, SqliteConnection::Access::Read),
            JournalStore::Access::Read);
    } catch (const std::exception& e) {
        error = e.what();
    }
    return nullptr;
}

JournalStore* ProductionJournal::Server(std::string& error) {
    error.clear();
    if (settings_.server.empty()) {
        error = "в настройках не указан сервер журнала";
        return nullptr;
    }
    serverRefused_ = false;
    if (!server_) {
        // Tried afresh each time: the server may be back.
        try {
            server_ = std::make_unique<JournalStore>(
                std::make_unique<PgConnection>(settings_.server, settings_.timeoutSeconds));
            serverFresh_ = true;
        } catch (const SqlError& e) {
            error = e.what();
            // The server answered and said no (a journal of another version, no rights): not a lost line.
            serverRefused_ = !e.Lost();
        } catch (const std::exception& e) {
            error = e.what();
        }
    }
    return server_.get();
}

bool ProductionJournal::OnServer(const std::function<void(JournalStore&)>& fn, std::string& error, bool& rejected) {
    rejected = false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        JournalStore* s = Server(error);
        if (!s) return false;
        const bool fresh = serverFresh_;
        serverFresh_ = false;
        try {
            fn(*s);
            return true;
        } catch (const SqlError& e) {
            error = e.what();
            if (!e.Lost()) {
                rejected = true;
                return false;
            }
            server_.reset();
            // A connection kept from before may have died with a restart: one new one.
            // A server that does not answer is not asked twice.
            if (fresh || e.TimedOut()) return false;
        }
    }
    return false;
}

void ProductionJournal::DropServer(const std::string& why) {
    server_.reset();
    onServer_ = false;
    Say("Сервер журнала недоступен (" + why + "): запись сохраняется на станции и будет отправлена при синхронизации.");
}

bool ProductionJournal::Reserve(JournalRecord& rec, std::string& why, const char* what) {
    const std::string number = std::to_string(*rec.factoryNumber);
    const bool line = !settings_.server.empty();
    std::string localErr;
    JournalStore* local = Local(localErr);
    if (!local) {
        why = "Журнал станции недоступен (" + localErr + "): заводской номер " + number + " не зарезервирован, " +
              what + ".";
        return false;
    }
    // A taken number goes on only as the same module, redone (the record names the one before).
    auto same = [&](const JournalRecord& holder) {
        if (rec.redoOf && *rec.redoOf == holder.uid) return true;
        // A run still going holds its number outright: no question can make it the same module.
        if (!holder.Finished() && RunLock::Alive(settings_.file, holder.uid)) {
            why = "Заводской номер " + number + " сейчас программируется (" + Describe(holder) + "): " + what + ".";
            return false;
        }
        if (confirmRedo && confirmRedo(holder)) {
            rec.redoOf = holder.uid;
            return true;
        }
        why = "Заводской номер " + number + " уже использован (" + Describe(holder) + "): " + what + ".";
        return false;
    };
    bool onLine = false;
    try {
        // The station's own numbers count whatever the server says (it may not have them yet).
        if (line)
            if (auto holder = local->Holder(*rec.factoryNumber); holder && !same(*holder)) return false;
        // Only the number, apart from the record: nothing the record meets later frees it.
        for (int attempt = 0; attempt < 2; ++attempt) {
            OpenResult r;
            if (line) {
                std::string err;
                bool rejected = false;
                if (!OnServer([&](JournalStore& s) { r = s.ReserveNumber(rec); }, err, rejected)) {
                    why = std::string(rejected || serverRefused_ ? "Сервер журнала отказал" : "Нет связи с сервером журнала") + " (" +
                          err + "): заводской номер " + number + " не зарезервирован, " + what + ".";
                    return false;
                }
            } else {
                r = local->ReserveNumber(rec);
            }
            if (r.opened) {
                onLine = true;
                break;
            }
            if (!same(*r.holder)) return false;
            if (attempt == 1) {
                why = "Заводской номер " + number + " занят другой станцией: " + what + ".";
                return false;
            }
        }
        // The station keeps the number as its own too.
        if (line) (void)local->ReserveNumber(rec, /*mustHold=*/false);
    } catch (const SqlError& e) {
        if (!onLine) {
            why = "Журнал станции недоступен (" + std::string(e.what()) + "): заводской номер " + number +
                  " не зарезервирован, " + what + ".";
            return false;
        }
        Say("Журнал станции недоступен (" + std::string(e.what()) + "): номер не отмечен на станции.");
    }
    return true;
}

bool ProductionJournal::ReserveNumber(uint16_t number, std::string& why) {
    why.clear();
    if (!settings_.enabled) return true;
    if (!settings_.problem.empty()) {
        why = "Настройки журнала неверны (" + settings_.problem + "): номер не записан.";
        return false;
    }
    JournalRecord rec;
    rec.kind = RunKind::Cycle;
    rec.uid = NewUid();
    rec.station = settings_.station;
    rec.startedUtc = UtcNow();
    rec.factoryNumber = number;
    return Reserve(rec, why, "номер не записан");
}

std::optional<uint16_t> ProductionJournal::NextNumber(std::string& why) {
    why.clear();
    const uint16_t from = settings_.numbersFrom, to = settings_.numbersTo;
    if (!settings_.problem.empty()) {
        why = "Настройки журнала неверны (" + settings_.problem + "): следующий номер не выдан.";
        return std::nullopt;
    }
    if (!settings_.HandsOutNumbers()) {
        why = "в настройках не задан диапазон номеров ([Journal] Numbers=ОТ-ДО)";
        return std::nullopt;
    }
    const std::string range = std::to_string(from) + "-" + std::to_string(to);
    std::string err;
    JournalStore* local = Local(err);
    if (!local) {
        why = "Журнал станции недоступен (" + err + "): следующий номер не выдан.";
        return std::nullopt;
    }
    const std::string usedUp = "Все номера диапазона " + range +
                               " ([Journal] Numbers=) заняты: задайте в настройках новый диапазон.";
    // Free on the server and on the station both: each answer starts the other's search.
    std::optional<uint16_t> n = from;
    try {
        for (;;) {
            std::optional<uint16_t> onLine = n;
            if (!settings_.server.empty()) {
                bool rejected = false;
                if (!OnServer([&](JournalStore& s) { onLine = NextFreeNumber(s, *n, to); }, err, rejected)) {
                    why = std::string(rejected || serverRefused_ ? "Сервер журнала отказал" : "Нет связи с сервером журнала") +
                          " (" + err + "): следующий номер не выдан.";
                    return std::nullopt;
                }
            }
            if (!onLine) {
                n = std::nullopt;
                break;
            }
            n = NextFreeNumber(*local, *onLine, to);
            if (!n || *n == *onLine) break;
        }
    } catch (const SqlError& e) {
        why = "Журнал станции недоступен (" + std::string(e.what()) + "): следующий номер не выдан.";
        return std::nullopt;
    }
    if (!n) why = usedUp;
    return n;
}

bool ProductionJournal::TryOpenLocal() {
    localError_.clear();
    JournalStore* local = Local(localError_);
    if (!local) return false;
    try {
        (void)local->Open(*run_, false);
        onLocal_ = true;
        localPending_ = false;
        localStepsDone_ = run_->steps.size();
        localLogDone_ = run_->log.size();
        return true;
    } catch (const SqlError& e) {
        localError_ = e.what();
        local_.reset();
        return false;
    }
}

bool ProductionJournal::Start(JournalRecord rec, std::string& why) {
    why.clear();
    run_.reset();
    onLocal_ = onServer_ = false;
    localLogDone_ = serverLogDone_ = localStepsDone_ = 0;
    localPending_ = localBehind_ = false;
    if (!settings_.enabled) {
        run_ = std::move(rec);
        return true;
    }
    if (rec.uid.empty()) rec.uid = NewUid();
    if (rec.station.empty()) rec.station = settings_.station;
    if (rec.startedUtc.empty()) rec.startedUtc = UtcNow();
    const bool reserve = rec.kind == RunKind::Cycle && rec.factoryNumber.has_value();
    if (!settings_.problem.empty()) {
        if (reserve) {
            why = "Настройки журнала неверны (" + settings_.problem + "): цикл не запущен.";
            return false;
        }
        Say("Настройки журнала неверны (" + settings_.problem + ").");
    }
    // From before its number is reserved: another process that finds the number
    // taken by this run knows it is still going.
    runLock_ = RunLock(settings_.file, rec.uid);
    if (reserve && !Reserve(rec, why, "цикл не запущен")) {
        runLock_.Release();
        return false;
    }

    // The other copies: the station's file always, the server when it answers.
    run_ = std::move(rec);
    localPending_ = true;
    const bool onStation = TryOpenLocal();
    JournalRecord& opened = *run_;
    std::string err;
    bool rejected = false;
    if (!settings_.server.empty() && !onServer_ &&
        OnServer([&](JournalStore& s) { (void)s.Open(opened, false); }, err, rejected))
        onServer_ = true;
    if (reserve && !onStation && !onServer_) {
        // A module stamped with no record anywhere would be a module nobody can find:
        // without the station's file, the record must have started on the server.
        run_.reset();
        runLock_.Release();
        localPending_ = false;
        why = "Журнал станции недоступен (" + localError_ + ")";
        if (!settings_.server.empty()) why += ", сервер журнала не начал запись (" + err + ")";
        why += ": запись не начата, цикл не запущен.";
        return false;
    }
    if (!onStation)
        Say("Журнал станции недоступен (" + localError_ + "): запись будет записана на станции, когда он освободится.");
    if (!settings_.server.empty() && !onServer_) {
        if (rejected) Say("Сервер журнала не принял запись (" + err + "): она сохраняется на станции" +
                          (reserve ? ", номер на сервере зарезервирован." : "."));
        else DropServer(err);
    }
    return true;
}

void ProductionJournal::Log(const std::string& line) {
    if (run_) run_->log.push_back(line);
}

void ProductionJournal::Step(int step, const std::string& name, bool ok) {
    if (!run_) return;
    run_->steps.push_back({step, name, ok});
    const size_t index = run_->steps.size() - 1;
    (void)index;
    // A station file that another program holds or a full disk does not end the
    // record: its steps wait here and go with the next write that gets through.
    if (!onLocal_ && localPending_) TryOpenLocal();
    if (onLocal_) {
        try {
            local_->AddStep(*run_, localStepsDone_, localLogDone_);
            localStepsDone_ = run_->steps.size();
            localLogDone_ = run_->log.size();
        } catch (const SqlError& e) {
            if (!localBehind_) Say("Журнал станции: шаг не записан (" + std::string(e.what()) + "); он будет записан позже.");
            localBehind_ = true;
        }
    }
    if (onServer_) {
        try {
            server_->AddStep(*run_, index, serverLogDone_);
            serverLogDone_ = run_->log.size();
        } catch (const SqlError& e) {
            DropServer(e.what());
        }
    }
}

void ProductionJournal::Finish(const std::string& result) {
    if (!run_) return;
    run_->result = result;
    run_->endedUtc = UtcNow();
    if (onServer_) {
        try {
            server_->Finish(*run_, serverLogDone_, true);
        } catch (const SqlError& e) {
            DropServer(e.what());
        }
    }
    if (onLocal_ || localPending_) {
        // The whole record as it stands: what waited in memory goes now. A file
        // still held is waited for a few times its own busy wait, then given up.
        std::string err;
        bool done = false, retried = false;
        for (int attempt = 0; attempt < kFinishAttempts && !done; ++attempt) {
            if (attempt > 0) std::this_thread::sleep_for(kFinishPause);
            try {
                if (!local_ && !Local(err)) continue;
                if (onLocal_) local_->Finish(*run_, localLogDone_, onServer_);
                else (void)local_->Put(*run_, onServer_);
                done = true;
            } catch (const SqlError& e) {
                err = e.what();
                retried = true;
                local_.reset();
            }
        }
        if (!done) Say("Журнал станции: запись не закончена (" + err + ").");
        else if (localBehind_ || localPending_ || retried) Say("Журнал станции: запись дописана.");
    }
    const bool serverAnswers = onServer_ && onLocal_;
    run_.reset();
    runLock_.Release();
    onLocal_ = onServer_ = localPending_ = localBehind_ = false;
    // The server answers again: the station's numbers are claimed on the line at once,
    // and what waited on the station goes now, a few records per run.
    if (serverAnswers) Sync(kRecordsSentPerRun);
}

bool ProductionJournal::ClaimNumbers(JournalStore& local, std::string& error, bool fromStart) {
    // How far the station's records have been claimed is kept in the file's own
    // user version: the first sync of a joining station claims them all, later ones
    // only the records since.
    const auto mark = local.Db().Query("PRAGMA user_version");
    const int64_t done = fromStart ? 0 : mark.empty() ? 0 : CheckedInt(mark[0][0], 0, INT32_MAX).value_or(0);
    int64_t last = done;
    const auto claims = local.CycleNumbers(done, last);
    if (!claims.empty()) {
        bool rejected = false;
        if (!OnServer([&](JournalStore& s) { (void)s.ReserveNumbers(claims); }, error, rejected)) return false;
    }
    if (last != done && last <= INT32_MAX) local.Db().Exec("PRAGMA user_version = " + std::to_string(last));
    return true;
}

SyncReport ProductionJournal::Sync(int limit) {
    SyncReport rep;
    std::string error;
    JournalStore* local = Local(error);
    if (!local) {
        rep.error = "журнал станции: " + error;
        return rep;
    }
    // Asked for by a person: whether the server answers is part of the answer.
    if (limit == 0 && !Server(error)) {
        rep.error = error;
        try {
            rep.waiting = local->CountUnsent();
        } catch (const SqlError&) {
        }
        return rep;
    }
    try {
        // Every number this station stamped counts on the line before any record's
        // details are sent: a joining station's whole backlog at once.
        // A whole sync claims them all again (a server restored from an older backup
        // gets back every number the station stamped); a run's end only the new ones.
        if (!ClaimNumbers(*local, error, /*fromStart=*/limit == 0)) {
            rep.error = error;
            rep.waiting = local->CountUnsent();
            return rep;
        }
        // A whole sync goes in batches (little memory) and tries the set-aside records again.
        int64_t after = 0;
        for (bool more = true; more && rep.error.empty();) {
            const int batch = limit > 0 ? limit : kSyncBatch;
            const auto waiting = local->Unsent(batch, /*withSetAside=*/limit == 0, after);
            more = limit == 0 && int(waiting.size()) == batch;
            for (const auto& rec : waiting) {
                after = rec.id;
                PutResult put;
                bool rejected = false;
                std::string err;
                if (!OnServer([&](JournalStore& s) { put = s.Put(rec, true); }, err, rejected)) {
                    if (!rejected) {
                        rep.error = err;
                        break;
                    }
                    // This record's own fault: it waits aside, the others go on.
                    local->SetAside(rec.uid, err);
                    ++rep.setAside;
                    Say("Запись " + ShortUid(rec) + " не принята сервером журнала (" + err + "): она отложена.");
                    continue;
                }
                if (put.conflict) {
                    local->MarkConflict(rec.uid, *put.conflict);
                    ++rep.conflicts;
                    Say("Заводской номер " + std::to_string(rec.factoryNumber.value_or(0)) + " записи " +
                        ShortUid(rec) + " есть и у другой записи (" + put.conflict->substr(0, 12) +
                        "): оба отмечены как конфликт.");
                }
                local->MarkSent(rec.uid);
                ++rep.sent;
            }
        }
        rep.waiting = local->CountUnsent();
    } catch (const SqlError& e) {
        rep.error = e.what();
    }
    return rep;
}

} // namespace mrk::journal
