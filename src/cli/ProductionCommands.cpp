// The main window's production commands on the command line: the automatic
// cycle and the identity stamp (the update button is write-update / update). They run the window's own code
// against plain controls.
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "app/AutoCycle.h"
#include "app/JournalObserver.h"
#include "app/MainCommands.h"
#include "app/ParamCommands.h"
#include "app/PlainControls.h"
#include "app/Station.h"
#include "cli/CommandTable.h"
#include "journal/NextNumber.h"

namespace mrk::cli {

namespace {

bool AllDigits(const std::string& s) {
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// "ПУСК" with the factory number typed and Enter pressed, in production mode.
class CycleCommand : public Command {
public:
    void Setup(CLI::App& app) override {
        CLI::Option* number = app.add_option("number", number_, "Factory number of the module (decimal, 1..65535)");
        // Noted while the parser lives: an empty number given is not a number left out.
        app.final_callback([this, number] { numberGiven_ = number->count() > 0; });
        app.add_flag("--next", next_,
                     "The next free number of the line's range ([Journal] Numbers=FROM-TO in the settings file)");
        app.add_flag("--same-module", sameModule_,
                     "The number was given to this very module before: it is being redone");
    }
    std::string Problem(const std::vector<std::string>&) override {
        // An empty number given is the window's empty field: the cycle itself asks for the number.
        const bool given = numberGiven_;
        if (next_ && given) return "cycle: либо номер, либо --next, не оба";
        if (!next_ && !given) return "cycle: нужен заводской номер модуля или --next";
        if (next_ && sameModule_) return "cycle: --same-module относится к номеру, заданному явно, не к --next";
        return {};
    }
    int Run(Session& s) override {
        if (next_) return RunOnNextNumber(s);
        // Only digits can be typed into the field; anything else is a typing mistake.
        if (!AllDigits(number_)) {
            std::fprintf(stderr, "mrkprog cycle: заводской номер состоит только из цифр: %s\n", number_.c_str());
            return 2;
        }
        s.ctx.commands.Obnovl = false;
        if (s.journal) s.journal->ConfirmSameModule(sameModule_);
        PlainControls ui;
        ui.SetFactoryNumberText(number_);
        const int declinedBefore = s.host.DeclinedQuestions();
        const CycleResult result = Edit1KeyDownEnter(s.ctx, ui);
        s.opened = s.opened || s.ctx.ind.Prog4520 || s.ctx.ind.CheckBox2;
        if (result == CycleResult::Refused) {
            // Refused before the run: a failure of its own, whatever an earlier cycle printed.
            // The window would have asked whether the number's module is this one; here the option says it.
            if (s.host.DeclinedQuestions() != declinedBefore)
                std::fprintf(stderr,
                             "mrkprog cycle: цикл для номера %s не запущен; если это тот же модуль и его нужно "
                             "запрограммировать заново, повторите с --same-module: mrkprog ... cycle %s --same-module\n",
                             number_.c_str(), number_.c_str());
            else
                std::fprintf(stderr, "mrkprog cycle: цикл для номера %s не запущен\n", number_.c_str());
            return 1;
        }
        // What the indicator shows for the run.
        std::printf("%s\n", result == CycleResult::Passed ? "OK" : "X");
        return result == CycleResult::Passed ? 0 : 1;
    }

private:
    // The next free number of the line's range; one that another station takes
    // meanwhile is passed over, as its reservation at the start refuses it.
    int RunOnNextNumber(Session& s) {
        journal::ProductionJournal& j = s.station->journal();
        // A range written wrong is said by the journal, as its other settings' mistakes are.
        if (!s.journal || (!j.Settings().HandsOutNumbers() && j.Settings().problem.empty())) {
            std::fprintf(stderr, "mrkprog cycle --next: %s\n",
                         !s.journal ? "журнал выключен ([Journal] Enabled=0): номера выдаёт журнал"
                                    : "в файле настроек не задан диапазон номеров ([Journal] Numbers=ОТ-ДО, "
                                      "например Numbers=1000-1999)");
            return 2;
        }
        s.ctx.commands.Obnovl = false;
        s.journal->ConfirmSameModule(false);
        std::optional<CycleResult> result;
        std::string why;
        const auto number = journal::StartOnNextNumber(
            j,
            [&](uint16_t n, std::string& refused) {
                std::printf("Заводской номер: %u\n", static_cast<unsigned>(n));
                PlainControls ui;
                ui.SetFactoryNumberText(std::to_string(n));
                const CycleResult r = Edit1KeyDownEnter(s.ctx, ui);
                s.opened = s.opened || s.ctx.ind.Prog4520 || s.ctx.ind.CheckBox2;
                if (r == CycleResult::Refused) {
                    refused = "цикл для номера " + std::to_string(n) + " не запущен";
                    return false;
                }
                result = r;
                return true;
            },
            why);
        if (!number || !result) {
            std::fprintf(stderr, "mrkprog cycle --next: %s\n", why.c_str());
            return 1;
        }
        std::printf("%s\n", *result == CycleResult::Passed ? "OK" : "X");
        return *result == CycleResult::Passed ? 0 : 1;
    }

    std::string number_;
    bool numberGiven_ = false;
    bool next_ = false;
    bool sameModule_ = false;
};

// "Установить": the date stamped into the module number, written into ID words 1 and 2.
class StampCommand : public Command {
public:
    void Setup(CLI::App& app) override {
        app.add_option("--number", number_, "Factory number for bits 0-15 (with ConfigChip in bits 16-23)")
            ->check(CLI::Range(1, 65535));
        app.add_option("--date", date_, "Date of manufacture YYYY-MM-DD instead of today")
            ->check([](const std::string& v) {
                int y = 0;
                unsigned m = 0, d = 0;
                char end = 0;
                if (std::sscanf(v.c_str(), "%4d-%2u-%2u%c", &y, &m, &d, &end) == 3 &&
                    std::chrono::year_month_day{std::chrono::year{y}, std::chrono::month{m}, std::chrono::day{d}}.ok())
                    return std::string();
                return "не дата вида YYYY-MM-DD: " + v;
            });
    }
    int Run(Session& s) override {
        auto& c = s.ctx.commands;
        if (number_ != 0) c.ModuleNumber = CycleModuleNumber(c.ModuleNumber, c.ConfigChip, static_cast<uint16_t>(number_));
        if (!date_.empty()) {
            int y = 0;
            unsigned m = 0, d = 0;
            std::sscanf(date_.c_str(), "%4d-%2u-%2u", &y, &m, &d);
            const std::chrono::year_month_day when{std::chrono::year{y}, std::chrono::month{m}, std::chrono::day{d}};
            c.Today = [when] { return when; };
        }
        if (!EnsureOpened(s)) return 1;
        // Only a stamp that reads back as written is reported as written.
        switch (ParamUstanovitClick(s.ctx)) {
        case StampResult::Written:
            std::printf("ModuleNumber=%08X: слова ID 1-3 записаны: %04X %04X FFFF\n", c.ModuleNumber,
                        c.ModuleNumber & 0xFFFF, c.ModuleNumber >> 16);
            return 0;
        case StampResult::AlreadyThere:
            std::printf("ModuleNumber=%08X: слова ID 1-3 уже содержат %04X %04X FFFF\n", c.ModuleNumber,
                        c.ModuleNumber & 0xFFFF, c.ModuleNumber >> 16);
            return 0;
        case StampResult::Refused:
        case StampResult::Failed: break;
        }
        return 1;
    }

private:
    unsigned number_ = 0;
    std::string date_;
};

} // namespace

void RegisterProductionCommands(CommandTable& t) {
    t.Add({"cycle", "Automatic cycle for one blank module: cycle NUMBER | cycle --next (production mode)", 0,
           [] { return std::make_unique<CycleCommand>(); }, true, true});
    t.Add({"stamp", "Stamp the date into the module number and write it into ID words 1-3 "
                    "[--number N] [--date YYYY-MM-DD]", 0,
           [] { return std::make_unique<StampCommand>(); }});
}

} // namespace mrk::cli
