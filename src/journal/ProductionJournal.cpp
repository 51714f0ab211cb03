#include "journal/ProductionJournal.h"

#include <filesystem>

#include "journal/PgConnection.h"
#include "journal/SqliteConnection.h"

namespace mrk::journal {

namespace {

constexpr int kRecordsSentPerRun = 20;
constexpr int kSyncBatch = 200;

std::string Describe(const JournalRecord& holder) {
    std::string s = "станция " + (holder.station.empty() ? std::string("?") : holder.station);
    if (!holder.startedUtc.empty()) s += ", " + holder.startedUtc;
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
    if (!std::filesystem::exists(settings_.file, ec) && !ec) return nullptr;
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
    if (!server_) {
        // Tried afresh each time: the server may be back.
        try {
            server_ = std::make_unique<JournalStore>(
                std::make_unique<PgConnection>(settings_.server, settings_.timeoutSeconds));
            serverFresh_ = true;
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

bool ProductionJournal::Reserve(JournalRecord& rec, std::string& why) {
    const std::string number = std::to_string(*rec.factoryNumber);
    const bool line = !settings_.server.empty();
    std::string localErr;
    JournalStore* local = Local(localErr);
    if (!local) {
        why = "Журнал станции недоступен (" + localErr + "): заводской номер " + number +
              " не зарезервирован, цикл не запущен.";
        return false;
    }
    // A taken number goes on only as the same module, redone (the record names the one before).
    auto same = [&](const JournalRecord& holder) {
        if (rec.redoOf && *rec.redoOf == holder.uid) return true;
        if (confirmRedo && confirmRedo(holder)) {
            rec.redoOf = holder.uid;
            return true;
        }
        why = "Заводской номер " + number + " уже использован (" + Describe(holder) + "): цикл не запущен.";
        return false;
    };
    try {
        // The station's own numbers count whatever the server says (it may not have them yet).
        if (line)
            if (auto holder = local->Holder(*rec.factoryNumber); holder && !same(*holder)) return false;
        for (int attempt = 0; attempt < 2; ++attempt) {
            OpenResult r;
            if (line) {
                std::string err;
                bool rejected = false;
                if (!OnServer([&](JournalStore& s) { r = s.Open(rec, true); }, err, rejected)) {
                    why = std::string(rejected ? "Сервер журнала отказал" : "Нет связи с сервером журнала") + " (" +
                          err + "): заводской номер " + number + " не зарезервирован, цикл не запущен.";
                    return false;
                }
            } else {
                r = local->Open(rec, true);
            }
            if (r.opened) {
                (line ? onServer_ : onLocal_) = true;
                break;
            }
            if (!same(*r.holder)) return false;
            if (attempt == 1) {
                why = "Заводской номер " + number + " занят другой станцией: цикл не запущен.";
                return false;
            }
        }
        // The station keeps the number as its own too.
        if (line) {
            local->Open(rec, true, /*mustHold=*/false);
            onLocal_ = true;
        }
    } catch (const SqlError& e) {
        if (!onServer_) {
            why = "Журнал станции недоступен (" + std::string(e.what()) + "): заводской номер " + number +
                  " не зарезервирован, цикл не запущен.";
            return false;
        }
        Say("Журнал станции недоступен (" + std::string(e.what()) + "): запись не сохраняется на станции.");
    }
    return true;
}

bool ProductionJournal::Start(JournalRecord rec, std::string& why) {
    why.clear();
    run_.reset();
    onLocal_ = onServer_ = false;
    localLogDone_ = serverLogDone_ = 0;
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
    if (reserve && !Reserve(rec, why)) return false;

    // The other copies: the station's file always, the server when it answers.
    if (!onLocal_) {
        std::string localErr;
        if (JournalStore* local = Local(localErr)) {
            try {
                local->Open(rec, false);
                onLocal_ = true;
            } catch (const SqlError& e) {
                Say("Журнал станции недоступен (" + std::string(e.what()) + "): запись не сохраняется на станции.");
            }
        } else {
            Say("Журнал станции недоступен (" + localErr + "): запись не сохраняется на станции.");
        }
    }
    if (!settings_.server.empty() && !onServer_) {
        std::string err;
        bool rejected = false;
        if (OnServer([&](JournalStore& s) { s.Open(rec, false); }, err, rejected)) onServer_ = true;
        else DropServer(err);
    }
    run_ = std::move(rec);
    return true;
}

void ProductionJournal::Log(const std::string& line) {
    if (run_) run_->log.push_back(line);
}

void ProductionJournal::Step(int step, const std::string& name, bool ok) {
    if (!run_) return;
    run_->steps.push_back({step, name, ok});
    const size_t index = run_->steps.size() - 1;
    if (onLocal_) {
        try {
            local_->AddStep(*run_, index, localLogDone_);
            localLogDone_ = run_->log.size();
        } catch (const SqlError& e) {
            onLocal_ = false;
            local_.reset();
            Say("Журнал станции: запись прервана (" + std::string(e.what()) + ").");
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
    if (onLocal_) {
        try {
            local_->Finish(*run_, localLogDone_, onServer_);
        } catch (const SqlError& e) {
            local_.reset();
            Say("Журнал станции: запись не закончена (" + std::string(e.what()) + ").");
        }
    }
    const bool serverAnswers = onServer_ && onLocal_;
    run_.reset();
    onLocal_ = onServer_ = false;
    // The server answers again: what waited on the station goes now, a few records per run.
    if (serverAnswers) Sync(kRecordsSentPerRun);
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
