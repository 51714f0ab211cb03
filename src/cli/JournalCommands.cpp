// journal: the production journal for the people who run the line — list with
// filters, show one record, summary, export for spreadsheets, send the
// station's waiting records. Reading never changes, migrates or locks a journal.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "app/JournalReader.h"
#include "app/Settings.h"
#include "cli/CommandTable.h"
#include "core/FileBytes.h"
#include "journal/CsvExport.h"
#include "journal/HtmlReport.h"
#include "journal/JournalSettings.h"
#include "journal/ProductionJournal.h"
#include "journal/UtcTime.h"

namespace mrk::cli {

namespace {

using namespace mrk::journal;

// Text from the journal as a terminal may show it: control characters (an escape
// sequence typed into a station's name could move the cursor, recolour or retitle
// the terminal) each become "?"; C1 controls too, as UTF-8 carries them.
void AppendShown(std::string& out, std::string_view s) {
    for (size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == 0x7F) {
            out += '?';
        } else if (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(s[i + 1]) <= 0x9F) {
            out += '?';
            ++i;
        } else {
            out += char(c);
        }
    }
}
std::string Shown(std::string_view s) {
    std::string out;
    AppendShown(out, s);
    return out;
}

// Left-aligned in width columns, counting characters rather than UTF-8 bytes.
void AppendPadded(std::string& out, std::string_view s, size_t width) {
    const size_t from = out.size();
    AppendShown(out, s);
    size_t chars = 0;
    for (size_t i = from; i < out.size(); ++i) chars += (static_cast<unsigned char>(out[i]) & 0xC0) != 0x80;
    if (chars < width) out.append(width - chars, ' ');
}
std::string Pad(const std::string& s, size_t width) {
    std::string out;
    AppendPadded(out, s, width);
    return out;
}

CLI::Validator DateCheck() {
    return CLI::Validator(
        [](const std::string& v) {
            return ParseUtcTime(v) ? std::string()
                                   : "не дата и время вида YYYY-MM-DD[THH:MM[:SS]][Z|+HH:MM] или такого дня нет: " + v;
        },
        "DATE");
}

// One line of `journal list`, onto the end of out.
void AppendListLine(std::string& out, const JournalRecord& r) {
    const std::string_view gap = "  ";
    AppendPadded(out, std::string_view(r.uid).substr(0, 12), 12);
    out += gap;
    AppendPadded(out, r.startedUtc, 20);
    out += gap;
    AppendPadded(out, r.station, 12);
    out += gap;
    AppendPadded(out, RunKindText(r.kind), 10);
    out += gap;
    char number[8] = "-";
    if (r.factoryNumber) std::to_chars(number, number + sizeof number - 1, *r.factoryNumber);
    out.append(6 - std::min<size_t>(6, std::strlen(number)), ' ');
    out += number;
    out += gap;
    AppendPadded(out, r.chip.empty() ? std::string_view("-") : std::string_view(r.chip), 10);
    out += gap;
    AppendPadded(out, ResultText(r), 12);
    out += gap;
    static thread_local std::string steps; // its room kept from line to line
    steps.clear();
    AppendStepsSummary(steps, r);
    AppendShown(out, steps);
    // What the record is besides its result: a number held twice, not yet on the server.
    if (r.conflict) {
        out += " конфликт номера с ";
        AppendShown(out, std::string_view(*r.conflict).substr(0, 12));
    }
    if (!r.setAside.empty()) {
        out += " отложена: ";
        AppendShown(out, r.setAside);
    }
    out += '\n';
}

class JournalCommand : public Command {
public:
    void Setup(CLI::App& app) override {
        app.add_option("action", action_, "list | show RECORD | summary | export --csv FILE | report --html FILE | sync | backup FILE")
            ->required()
            ->check(CLI::IsMember({"list", "show", "summary", "export", "report", "sync", "backup"}));
        app.add_option("record", record_,
                       "The record (show): the beginning of its identity as lists show it; the copy's file (backup)");
        app.add_option("--since", since_, "Runs started on or after this time (UTC unless an offset is given)")
            ->check(DateCheck());
        app.add_option("--until", until_, "Runs started before this time; a bare date counts whole")
            ->check(DateCheck());
        app.add_option("--number", number_, "Factory number")->check(CLI::Range(1, 65535));
        app.add_flag("--failed", failed_, "Only runs that ended with X or never ended");
        app.add_option("--station", station_, "Only this station's runs");
        app.add_option("--result", result_, "OK | X | unfinished")->check(CLI::IsMember({"OK", "X", "unfinished"}));
        app.add_option("--chip", chip_, "PIC18F452 | PIC18F4620");
        app.add_option("--kind", kind_, "cycle | update")->check(CLI::IsMember({"cycle", "update"}));
        app.add_option("--limit", limit_, "Only the newest N runs")->check(CLI::Range(1, 100000000));
        app.add_flag("--conflicts", conflicts_, "Only runs whose factory number another run also holds");
        app.add_flag("--waiting", waiting_, "Only this station's runs not yet on the server (and why, if refused)");
        app.add_option("--by", by_, "summary: day | station | image")->check(CLI::IsMember({"day", "station", "image"}));
        app.add_option("--csv", csv_, "File to write (export)");
        app.add_option("--html", html_, "File to write (report): one page with charts and their tables");
        app.add_flag("--local", local_, "This station's journal even when a server is set");
    }

    int Run(Session& s) override {
        // The [Journal] section of the session's settings file, in the station's folders.
        const JournalSettings settings =
            s.journalSettings ? *s.journalSettings : JournalSettingsOf(s.ctx.commands.IniPath);
        if (!settings.problem.empty()) std::fprintf(stderr, "mrkprog journal: %s\n", settings.problem.c_str());
        if (action_ == "sync") return Sync(settings);
        if (action_ == "backup") return Backup(settings);
        auto store = Store(settings);
        if (!store) return 1;
        try {
            if (action_ == "show") return Show(*store);
            const ListFilter f = Filter();
            if (action_ == "summary") return Summary(*store, f);
            if (action_ == "export") return Export(*store, f);
            if (action_ == "report") return Report(*store, f);
            return List(*store, f);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "mrkprog journal: %s\n", e.what());
            return 1;
        }
    }

private:
    ListFilter Filter() const {
        ListFilter f;
        if (!since_.empty()) f.since = *ParseUtcTime(since_);
        if (!until_.empty()) f.until = *ParseUtcTime(until_, /*dayEnd=*/true);
        if (number_) f.number = uint16_t(number_);
        f.failedOnly = failed_;
        f.station = station_;
        f.result = result_;
        f.chip = chip_;
        f.kind = RunKindFromName(kind_);
        if (limit_ > 0) f.limit = limit_;
        f.conflictsOnly = conflicts_;
        f.waitingOnly = waiting_;
        return f;
    }

    // The station opens it; said here is what the reader should know.
    std::unique_ptr<JournalStore> Store(const JournalSettings& settings) {
        JournalForReading j = OpenJournalForReading(settings, !local_ && !waiting_);
        if (!j.serverProblem.empty())
            std::fprintf(stderr, "mrkprog journal: журнал на сервере не читается (%s); показан журнал этой станции\n",
                         j.serverProblem.c_str());
        if (!j.store) std::fprintf(stderr, "mrkprog journal: %s\n", j.error.c_str());
        return std::move(j.store);
    }

    // A damaged record costs its line, never the rest.
    static std::function<void(const std::string&)> ReportBad(int& bad) {
        return [&bad](const std::string& why) {
            ++bad;
            std::fprintf(stderr, "mrkprog journal: пропущена повреждённая запись: %s\n", why.c_str());
        };
    }

    int List(JournalStore& store, const ListFilter& f) {
        std::printf("%s  %s  %s  %s  %6s  %s  %s  %s\n", Pad("Запись", 12).c_str(), Pad("Начало (UTC)", 20).c_str(),
                    Pad("Станция", 12).c_str(), Pad("Вид", 10).c_str(), "Номер", Pad("Чип", 10).c_str(),
                    Pad("Итог", 12).c_str(), "Шаги");
        long long count = 0;
        int bad = 0;
        // Lines go out in large pieces; before a damaged record's message, so that
        // on a terminal it stands where the record would have.
        std::string buf;
        buf.reserve(1 << 16);
        auto flush = [&] {
            std::fwrite(buf.data(), 1, buf.size(), stdout);
            buf.clear();
        };
        const auto reportBad = ReportBad(bad);
        store.Each(
            f,
            [&](const JournalRecord& r) {
                ++count;
                AppendListLine(buf, r);
                if (buf.size() > (1 << 16) - 512) flush();
            },
            [&](const std::string& why) {
                flush();
                std::fflush(stdout);
                reportBad(why);
            });
        flush();
        std::printf("Записей: %lld\n", count);
        if (bad) std::printf("Пропущено повреждённых записей: %d\n", bad);
        return 0;
    }

    int Summary(JournalStore& store, const ListFilter& f) {
        const SummaryBy by = by_ == "station" ? SummaryBy::Station : by_ == "image" ? SummaryBy::Image : SummaryBy::Day;
        const char* head = by == SummaryBy::Station ? "Станция" : by == SummaryBy::Image ? "Образ" : "День (UTC)";
        std::printf("%s  %8s  %8s  %8s  %12s  %s\n", Pad(head, 16).c_str(), "Прогонов", "OK", "X", "Не закончены",
                    "Выход");
        SummaryRow total;
        auto line = [](const std::string& key, const SummaryRow& r) {
            const double yield = r.runs ? 100.0 * double(r.ok) / double(r.runs) : 0.0;
            std::printf("%s  %8lld  %8lld  %8lld  %12lld  %5.1f %%\n", Pad(key.empty() ? "-" : key, 16).c_str(),
                        (long long)r.runs, (long long)r.ok, (long long)r.failed, (long long)r.unfinished, yield);
        };
        for (const auto& r : store.Summary(f, by)) {
            line(r.key, r);
            total.runs += r.runs;
            total.ok += r.ok;
            total.failed += r.failed;
            total.unfinished += r.unfinished;
        }
        line("Всего", total);
        return 0;
    }

    int Show(JournalStore& store) {
        if (record_.empty()) {
            std::fprintf(stderr, "mrkprog journal show: укажите запись (столбец Запись в journal list)\n");
            return 2;
        }
        std::optional<JournalRecord> r;
        // Short all-digit text: the store's own number, as earlier lists showed it.
        if (record_.size() < 8 && record_.find_first_not_of("0123456789") == std::string::npos)
            r = store.Get(std::stoll(record_));
        else r = store.GetByUid(record_);
        if (!r) {
            std::fprintf(stderr, "mrkprog journal show: записи %s нет в %s\n", record_.c_str(), store.Where().c_str());
            return 1;
        }
        auto line = [](const char* label, const std::string& v) {
            std::printf("%s %s\n", Pad(label, 16).c_str(), Shown(v).c_str());
        };
        char buf[64];
        line("Запись", r->uid);
        line("Вид", RunKindText(r->kind));
        line("Станция", r->station);
        line("Начало (UTC)", r->startedUtc);
        line("Конец (UTC)", r->Finished() ? r->endedUtc : "не закончена");
        line("Итог", ResultText(*r));
        line("Программатор", r->programmer + (r->programmerSerial.empty() ? "" : ", серийный номер " + r->programmerSerial));
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
        if (r->conflict) line("Конфликт номера", "тот же номер у записи " + *r->conflict);
        if (!r->setAside.empty()) line("Отложена", r->setAside);
        std::printf("Шаги:\n");
        for (const auto& st : r->steps)
            std::printf("  %2d %-2s %s\n", st.step, st.ok ? "ok" : "X", Shown(st.name).c_str());
        std::printf("Протокол:\n");
        for (const auto& l : r->log) std::printf("  %s\n", Shown(l).c_str());
        return 0;
    }

    int Export(JournalStore& store, const ListFilter& f) {
        if (csv_.empty()) {
            std::fprintf(stderr, "mrkprog journal export: укажите файл: --csv FILE\n");
            return 2;
        }
        int bad = 0;
        const CsvFileResult out = WriteCsvFile(store, f, csv_, ReportBad(bad));
        if (!out.written) {
            std::fprintf(stderr, "mrkprog journal export: файл %s не записан: %s\n", csv_.c_str(), out.error.c_str());
            return 1;
        }
        const long long count = out.records;
        std::printf("Записей: %lld, файл %s\n", count, csv_.c_str());
        if (bad) std::printf("Пропущено повреждённых записей: %d\n", bad);
        return 0;
    }

    // One self-contained page for the people who run the line: charts and the tables behind them.
    int Report(JournalStore& store, const ListFilter& f) {
        if (html_.empty()) {
            std::fprintf(stderr, "mrkprog journal report: укажите файл: --html FILE\n");
            return 2;
        }
        ReportHeading h;
        h.where = store.Where();
        h.filter = FilterText(f);
        h.madeLocal = LocalTimeText(UtcNow());
        const HtmlFileResult out = WriteHtmlReport(store, f, html_, h);
        if (!out.written) {
            std::fprintf(stderr, "mrkprog journal report: файл %s не записан: %s\n", html_.c_str(), out.error.c_str());
            return 1;
        }
        std::printf("Записей в отчёте: %lld, файл %s\n", (long long)out.records, html_.c_str());
        if (out.skipped) std::printf("Пропущено повреждённых записей: %lld\n", (long long)out.skipped);
        return 0;
    }

    int Sync(const JournalSettings& settings) {
        if (settings.server.empty()) {
            std::fprintf(stderr, "mrkprog journal sync: в настройках не указан сервер ([%s] Server=...)\n", kJournalSection);
            return 2;
        }
        ProductionJournal journal(settings);
        journal.say = [](const std::string& line) { std::printf("%s\n", line.c_str()); };
        const SyncReport rep = journal.Sync();
        std::printf("Отправлено записей: %d, ожидают: %lld", rep.sent, (long long)rep.waiting);
        if (rep.setAside) std::printf(", отложено (сервер не принял): %d", rep.setAside);
        if (rep.conflicts) std::printf(", конфликтов номеров: %d", rep.conflicts);
        std::printf("\n");
        if (!rep.error.empty()) {
            std::fprintf(stderr, "mrkprog journal sync: %s\n", rep.error.c_str());
            return 1;
        }
        return rep.setAside ? 1 : 0;
    }

    // A copy of the station's file, whole and consistent while the window writes it.
    int Backup(const JournalSettings& settings) {
        if (record_.empty()) {
            std::fprintf(stderr, "mrkprog journal backup: укажите файл копии\n");
            return 2;
        }
        const JournalBackup b = BackupStationJournal(settings, record_);
        if (!b.error.empty()) {
            std::fprintf(stderr, "mrkprog journal backup: %s\n", b.error.c_str());
            return 1;
        }
        std::printf("Копия журнала станции записана в %s (записей: %s)\n", record_.c_str(), b.records.c_str());
        return 0;
    }

    std::string action_, record_, since_, until_, station_, result_, chip_, kind_, by_, csv_, html_;
    int number_ = 0, limit_ = 0;
    bool failed_ = false, conflicts_ = false, waiting_ = false, local_ = false;
};

} // namespace

void RegisterJournalCommands(CommandTable& t) {
    t.Add({"journal",
           "Production journal: journal list [--since DATE] [--until DATE] [--number N] [--station S] [--result R] "
           "[--chip C] [--kind K] [--limit N] [--failed] [--conflicts] [--waiting] | show RECORD | "
           "summary [--by day|station|image] | export --csv FILE | report --html FILE | sync",
           1, [] { return std::make_unique<JournalCommand>(); }, false, true});
}

} // namespace mrk::cli
