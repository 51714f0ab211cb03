#include "journal/ProductionJournal.h"

#include "journal/PgConnection.h"
#include "journal/SqliteConnection.h"

namespace mrk::journal {

namespace {

constexpr int kServerConnectTimeoutSeconds = 3;
constexpr int kRecordsSentPerRun = 20;

std::string Describe(const JournalRecord& holder) {
    std::string s = "станция " + (holder.station.empty() ? std::string("?") : holder.station);
    if (!holder.startedUtc.empty()) s += ", " + holder.startedUtc;
    s += ", результат " + ResultText(holder);
    return s;
}

} // namespace

std::string ResultText(const JournalRecord& r) { return r.result.empty() ? "не закончена" : r.result; }

ProductionJournal::ProductionJournal(JournalSettings s) : settings_(std::move(s)) {}
ProductionJournal::~ProductionJournal() = default;

void ProductionJournal::Configure(JournalSettings s) {
    settings_ = std::move(s);
    local_.reset();
    server_.reset();
    localError_.clear();
    localTried_ = false;
}

void ProductionJournal::Say(const std::string& line) {
    if (say) say(line);
}

JournalStore* ProductionJournal::Local(std::string& error) {
    if (!local_ && !localTried_) {
        localTried_ = true;
        try {
            local_ = std::make_unique<JournalStore>(std::make_unique<SqliteConnection>(settings_.file));
        } catch (const std::exception& e) {
            localError_ = e.what();
        }
    }
    error = localError_;
    return local_.get();
}

JournalStore* ProductionJournal::Server(std::string& error) {
    error.clear();
    if (settings_.server.empty()) {
        error = "no server is named in the settings";
        return nullptr;
    }
    if (!server_) {
        // Tried afresh each time: the server may be back.
        try {
            server_ = std::make_unique<JournalStore>(
                std::make_unique<PgConnection>(settings_.server, kServerConnectTimeoutSeconds));
        } catch (const std::exception& e) {
            error = e.what();
        }
    }
    return server_.get();
}

void ProductionJournal::DropServer(const std::string& why) {
    server_.reset();
    onServer_ = false;
    Say("Сервер журнала недоступен (" + why + "): запись сохраняется на станции и будет отправлена при синхронизации.");
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
    const std::string number = rec.factoryNumber ? std::to_string(*rec.factoryNumber) : "";

    std::string localErr, serverErr;
    JournalStore* local = Local(localErr);
    JournalStore* server = settings_.server.empty() ? nullptr : Server(serverErr);
    // Where the number is reserved: the server on a line of stations, else the station's file.
    JournalStore* authority = settings_.server.empty() ? local : server;
    if (reserve && !authority) {
        why = (settings_.server.empty() ? "Журнал станции недоступен (" + localErr + ")"
                                        : "Нет связи с сервером журнала (" + serverErr + ")") +
              ": заводской номер " + number + " не зарезервирован, цикл не запущен.";
        return false;
    }

    auto open = [&](JournalStore* store, bool withReservation) {
        for (int attempt = 0; attempt < 2; ++attempt) {
            const OpenResult r = store->Open(rec, withReservation);
            if (r.opened) return true;
            const JournalRecord& holder = *r.holder;
            const bool same = confirmRedo && confirmRedo(holder);
            if (!same) {
                why = "Заводской номер " + number + " уже использован (" + Describe(holder) + "): цикл не запущен.";
                return false;
            }
            rec.redoOf = holder.uid;
        }
        why = "Заводской номер " + number + " занят другой станцией: цикл не запущен.";
        return false;
    };

    if (reserve) {
        try {
            if (!open(authority, true)) return false;
        } catch (const SqlError& e) {
            if (authority == server) server_.reset();
            why = std::string(authority == server ? "Нет связи с сервером журнала" : "Журнал станции недоступен") +
                  " (" + e.what() + "): заводской номер " + number + " не зарезервирован, цикл не запущен.";
            return false;
        }
        if (authority == server) onServer_ = true;
        else onLocal_ = true;
    }
    // The other copies: the station's file always, the server when it answers.
    if (local && !onLocal_) {
        try {
            local->Open(rec, false);
            onLocal_ = true;
        } catch (const SqlError& e) {
            Say("Журнал станции недоступен (" + std::string(e.what()) + "): запись не сохраняется на станции.");
        }
    } else if (!local) {
        Say("Журнал станции недоступен (" + localErr + "): запись не сохраняется на станции.");
    }
    if (!settings_.server.empty() && !onServer_) {
        if (server) {
            try {
                server->Open(rec, false);
                onServer_ = true;
            } catch (const SqlError& e) {
                DropServer(e.what());
            }
        } else {
            Say("Сервер журнала недоступен (" + serverErr +
                "): запись сохраняется на станции и будет отправлена при синхронизации.");
        }
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
        rep.error = "station journal: " + error;
        return rep;
    }
    JournalStore* server = Server(error);
    std::vector<JournalRecord> waiting;
    try {
        waiting = local->Unsent();
    } catch (const SqlError& e) {
        rep.error = e.what();
        return rep;
    }
    rep.waiting = int(waiting.size());
    if (!server) {
        rep.error = error;
        return rep;
    }
    for (const auto& rec : waiting) {
        if (limit > 0 && rep.sent >= limit) break;
        try {
            server->Put(rec, true);
        } catch (const SqlError& e) {
            server_.reset();
            rep.error = e.what();
            return rep;
        }
        try {
            local->MarkSent(rec.uid);
        } catch (const SqlError& e) {
            // On the server already; the next sync sends it again, which changes nothing.
            rep.error = e.what();
            return rep;
        }
        ++rep.sent;
        --rep.waiting;
    }
    return rep;
}

} // namespace mrk::journal
