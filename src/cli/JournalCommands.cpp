// journal: the production journal for the people who run the line — list,
// show one record, export for spreadsheets, send the station's waiting records.
#include <cstdio>
#include <sstream>
#include <regex>

#include "cli/CommandTable.h"
#include "core/FileBytes.h"
#include "journal/CsvExport.h"
#include "journal/JournalSettings.h"
#include "journal/ProductionJournal.h"

namespace mrk::cli {

namespace {

using namespace mrk::journal;

// Left-aligned in width columns, counting characters rather than UTF-8 bytes.
std::string Pad(const std::string& s, size_t width) {
    size_t chars = 0;
    for (unsigned char c : s) chars += (c & 0xC0) != 0x80;
    return chars >= width ? s : s + std::string(width - chars, ' ');
}

class JournalCommand : public Command {
public:
    void Setup(CLI::App& app) override {
        app.add_option("action", action_, "list | show ID | export --csv FILE | sync")
            ->required()
            ->check(CLI::IsMember({"list", "show", "export", "sync"}));
        app.add_option("id", id_, "Record number (show)");
        app.add_option("--since", since_, "Records started on or after this UTC date (YYYY-MM-DD[THH:MM[:SS]])")
            ->check([](const std::string& v) {
                static const std::regex kDate(R"(\d{4}-\d{2}-\d{2}(T\d{2}:\d{2}(:\d{2})?Z?)?)");
                return std::regex_match(v, kDate) ? std::string() : "not a date (YYYY-MM-DD): " + v;
            });
        app.add_option("--number", number_, "Factory number")->check(CLI::Range(1, 65535));
        app.add_flag("--failed", failed_, "Only runs that ended with X or never ended");
        app.add_option("--csv", csv_, "File to write (export)");
        app.add_flag("--local", local_, "This station's journal even when a server is set");
    }

    int Run(Session& s) override {
        // The [Journal] section of the session's settings file.
        const JournalSettings settings = ReadJournalSettings(s.ctx.commands.IniPath);
        ProductionJournal journal(settings);
        if (action_ == "sync") return Sync(journal);
        JournalStore* store = Store(journal);
        if (!store) return 1;
        try {
            if (action_ == "show") return Show(*store);
            ListFilter f;
            f.since = since_;
            if (number_) f.number = uint16_t(number_);
            f.failedOnly = failed_;
            if (action_ == "export") return Export(*store, f);
            return List(*store, f);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "mrkprog journal: %s\n", e.what());
            return 1;
        }
    }

private:
    JournalStore* Store(ProductionJournal& journal) {
        std::string error;
        if (!local_ && !journal.Settings().server.empty()) {
            if (JournalStore* s = journal.Server(error)) return s;
            std::fprintf(stderr, "mrkprog journal: the server cannot be reached (%s); "
                                 "showing this station's journal\n", error.c_str());
        }
        JournalStore* s = journal.Local(error);
        if (!s) std::fprintf(stderr, "mrkprog journal: %s\n", error.c_str());
        return s;
    }

    int List(JournalStore& store, const ListFilter& f) {
        const auto records = store.List(f, true);
        std::printf("%6s  %s  %s  %s  %6s  %s  %s  %s\n", "ID", Pad("Начало (UTC)", 20).c_str(),
                    Pad("Станция", 12).c_str(), Pad("Вид", 6).c_str(), "Номер", Pad("Чип", 10).c_str(),
                    Pad("Итог", 12).c_str(), "Шаги");
        for (const auto& r : records) {
            std::printf("%6lld  %s  %s  %s  %6s  %s  %s  %s\n", static_cast<long long>(r.id),
                        Pad(r.startedUtc, 20).c_str(), Pad(r.station, 12).c_str(), Pad(RunKindName(r.kind), 6).c_str(),
                        r.factoryNumber ? std::to_string(*r.factoryNumber).c_str() : "-",
                        Pad(r.chip.empty() ? "-" : r.chip, 10).c_str(), Pad(ResultText(r), 12).c_str(),
                        StepsSummary(r).c_str());
        }
        std::printf("Записей: %zu\n", records.size());
        return 0;
    }

    int Show(JournalStore& store) {
        if (id_ <= 0) {
            std::fprintf(stderr, "mrkprog journal show: give the record's ID (see journal list)\n");
            return 2;
        }
        const auto r = store.Get(id_);
        if (!r) {
            std::fprintf(stderr, "mrkprog journal show: no record %lld in %s\n", static_cast<long long>(id_),
                         store.Where().c_str());
            return 1;
        }
        auto line = [](const char* label, const std::string& v) {
            std::printf("%s %s\n", Pad(label, 16).c_str(), v.c_str());
        };
        char buf[64];
        line("Запись", std::to_string(r->id) + " (" + r->uid + ")");
        line("Вид", RunKindName(r->kind));
        line("Станция", r->station);
        line("Начало (UTC)", r->startedUtc);
        line("Конец (UTC)", r->Finished() ? r->endedUtc : "не закончена");
        line("Итог", ResultText(*r));
        line("Программатор", r->programmer);
        std::snprintf(buf, sizeof buf, "%s Devid1=%X Devid2=%X", r->chip.c_str(), r->devId1, r->devId2);
        line("Чип", buf);
        line("Заводской номер", r->factoryNumber ? std::to_string(*r->factoryNumber) : "-");
        if (r->moduleNumber) std::snprintf(buf, sizeof buf, "%08X", *r->moduleNumber);
        line("ModuleNumber", r->moduleNumber ? buf : "-");
        std::snprintf(buf, sizeof buf, " (суммы %02X %02X)", r->imageSum1, r->imageSum2);
        line("Обновление", r->imageName + buf);
        line("Загрузчик", r->bootPath.empty() ? "-" : r->bootPath + " SHA-256 " + r->bootSha256);
        std::string config;
        for (uint8_t b : r->config) {
            std::snprintf(buf, sizeof buf, "%s%02X", config.empty() ? "" : " ", b);
            config += buf;
        }
        line("Конфигурация", config.empty() ? "-" : config);
        if (r->redoOf) line("Повтор записи", *r->redoOf);
        std::printf("Шаги:\n");
        for (const auto& st : r->steps) std::printf("  %2d %-2s %s\n", st.step, st.ok ? "ok" : "X", st.name.c_str());
        std::printf("Протокол:\n");
        for (const auto& l : r->log) std::printf("  %s\n", l.c_str());
        return 0;
    }

    int Export(JournalStore& store, const ListFilter& f) {
        if (csv_.empty()) {
            std::fprintf(stderr, "mrkprog journal export: name the file: --csv FILE\n");
            return 2;
        }
        const auto records = store.List(f, true);
        // Replaced whole at the end: an interrupted export leaves no half file.
        std::ostringstream text;
        WriteCsvHeader(text);
        for (const auto& r : records) WriteCsvRow(text, r);
        if (int err = 0; !ReplaceFile(csv_, text.str(), err)) {
            std::fprintf(stderr, "mrkprog journal export: cannot write %s: %s\n", csv_.c_str(),
                         FileErrorText(err).c_str());
            return 1;
        }
        std::printf("Записей: %zu, файл %s\n", records.size(), csv_.c_str());
        return 0;
    }

    int Sync(ProductionJournal& journal) {
        if (journal.Settings().server.empty()) {
            std::fprintf(stderr, "mrkprog journal sync: no server in the settings ([%s] Server=...)\n",
                         kJournalSection);
            return 2;
        }
        const SyncReport rep = journal.Sync();
        std::printf("Отправлено записей: %d, ожидают: %d\n", rep.sent, rep.waiting);
        if (!rep.error.empty()) {
            std::fprintf(stderr, "mrkprog journal sync: %s\n", rep.error.c_str());
            return 1;
        }
        return 0;
    }

    std::string action_;
    int64_t id_ = 0;
    std::string since_;
    int number_ = 0;
    bool failed_ = false;
    std::string csv_;
    bool local_ = false;
};

} // namespace

void RegisterJournalCommands(CommandTable& t) {
    t.Add({"journal", "Production journal: journal list [--since DATE] [--number N] [--failed] | show ID | "
                      "export --csv FILE | sync",
           1, [] { return std::make_unique<JournalCommand>(); }, false, true});
}

} // namespace mrk::cli
