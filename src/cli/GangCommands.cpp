// Several programmers on one station: what is attached (programmers) and the
// gang run (gang), one process per programmer.
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/ProgrammerList.h"
#include "app/Station.h"
#include "app/ProgrammerChoice.h"
#include "cli/CommandTable.h"
#include "cli/GangRun.h"
#include "core/Format.h"

namespace mrk::cli {

namespace {

class ProgrammersCommand : public Command {
public:
    void Setup(CLI::App&) override {}
    [[nodiscard]] bool WorksOnChip() const override { return false; }
    int Run(Session& s) override {
        if (!s.station) return 1;
        const ProgrammerListing l = ListProgrammers(*s.station);
        std::printf("%s\n", (std::string(l.bench ? "Виртуальный стенд. " : "") + "USB, устройства FTDI" +
                             (l.usbDriver.empty() ? "" : " (драйвер " + l.usbDriver + ")") + ":").c_str());
        if (!l.usbError.empty()) std::printf("  не перечисляются: %s\n", l.usbError.c_str());
        else if (l.usb.empty()) std::printf("  нет ни одного (Surtan не подключен к USB)\n");
        int surtans = 0;
        for (const auto& u : l.usb) {
            std::string line = "  " + (u.problem.empty() ? "\"" + u.description + "\"" : std::string("описание не читается"));
            line += ", серийный номер " + (u.serial.empty() ? std::string("не читается") : u.serial);
            if (!u.problem.empty()) line += ": " + u.problem;
            else if (!u.surtan) line += ": не программатор Surtan";
            else {
                ++surtans;
                line += ": программатор Surtan";
                if (u.chosen) line += ", выбран для этой программы";
            }
            std::printf("%s\n", line.c_str());
        }
        if (!s.station->ChosenProgrammer().empty()) {
            if (const std::string why = s.station->ChosenProgrammerProblem(); !why.empty())
                std::printf("  %s\n", why.c_str());
        }
        std::printf("Параллельные порты (LPT, программатор Kordel):\n");
        if (l.ports.empty()) std::printf("  %s\n", l.portsNone.c_str());
        for (const auto& p : l.ports) {
            std::string line = "  " + p.device;
            if (p.base >= 0) line += Format(", адрес %03lX", static_cast<unsigned long>(p.base));
            line += std::string(p.usable ? ": доступен" : ": недоступен") + " (" + p.why + ")";
            std::printf("%s\n", line.c_str());
        }
        (void)surtans;
        return 0;
    }
};

// Cycles on several programmers at once: one mrkprog per programmer, each with
// the gang's options, its own Surtan and its own number (or the next free one).
class GangCommand : public Command {
public:
    void Setup(CLI::App& app) override {
        app.add_option("--programmers", serials_, "The Surtans by serial number, comma-separated: S1,S2,...")
            ->delimiter(',')
            ->allow_extra_args(false)
            ->required();
        app.add_option("command", what_, "What each programmer runs: cycle")->required();
        app.add_option("numbers", numbers_, "One factory number per programmer, in the same order");
        app.add_flag("--next", next_, "Each programmer takes the next free number of the line's range");
    }
    [[nodiscard]] bool WorksOnChip() const override { return false; }
    std::string Problem(const std::vector<std::string>& earlier) override {
        if (!earlier.empty()) return "gang: запускается отдельно, без других команд";
        if (what_ != "cycle") return "gang: программаторы выполняют только cycle; указано " + what_;
        if (serials_.empty()) return "gang: --programmers не задан";
        for (size_t i = 0; i < serials_.size(); ++i) {
            if (serials_[i].empty()) return "gang: пустой серийный номер в --programmers";
            for (size_t j = 0; j < i; ++j)
                if (serials_[i] == serials_[j]) return "gang: программатор " + serials_[i] + " указан дважды";
        }
        if (next_ && !numbers_.empty()) return "gang: либо номера, либо --next, не оба";
        if (!next_ && numbers_.size() != serials_.size())
            return "gang: по одному заводскому номеру на программатор: программаторов " + std::to_string(serials_.size()) +
                   ", номеров " + std::to_string(numbers_.size()) + " (или --next)";
        for (size_t i = 0; i < numbers_.size(); ++i)
            for (size_t j = 0; j < i; ++j)
                if (numbers_[i] == numbers_[j]) return "gang: заводской номер " + numbers_[i] + " указан дважды";
        return {};
    }
    int Run(Session& s) override {
        for (const auto& [name, value] : s.opt.given)
            if (name == "programmer") {
                std::fprintf(stderr, "mrkprog gang: программаторы задаются --programmers после gang, не --programmer\n");
                return 2;
            }
        // Each process saves its module to its own file.
        if (serials_.size() > 1 && !s.opt.station.module.empty() &&
            s.opt.station.module.find(kSerialPlaceholder) == std::string::npos) {
            std::fprintf(stderr, "mrkprog gang: у каждого программатора свой модуль: укажите в --module %s, "
                                 "например --module 'module-%s.hex'\n", kSerialPlaceholder, kSerialPlaceholder);
            return 2;
        }
        std::vector<GangMember> members;
        for (size_t i = 0; i < serials_.size(); ++i) {
            GangMember m;
            m.serial = serials_[i];
            for (const auto& [name, value] : s.opt.given) {
                const StartOptionEntry* e = FindStartOption(name);
                m.args.push_back("--" + name);
                if (e && e->kind != OptionKind::Flag) m.args.push_back(value);
            }
            // The gang's station: its settings file, whatever name each process is started by.
            if (s.opt.station.settingsPath.empty()) m.args.insert(m.args.end(), {"--settings", s.station->place().settingsFile});
            m.args.insert(m.args.end(), {"--programmer", serials_[i], "cycle"});
            m.args.push_back(next_ ? "--next" : numbers_[i]);
            if (!next_) m.number = numbers_[i];
            members.push_back(std::move(m));
        }
        std::error_code ec;
        const std::string self = std::filesystem::read_symlink("/proc/self/exe", ec).string();
        RunGang(ec ? std::string("/proc/self/exe") : self, members);
        return Summary(members);
    }

private:
    static int Summary(const std::vector<GangMember>& members) {
        int ok = 0;
        std::printf("Итог:\n");
        for (const auto& m : members) {
            std::string line = "  " + m.serial + ": ";
            line += m.number.empty() ? std::string("номер не выдан") : "номер " + m.number;
            line += ", " + (m.result.empty() ? std::string("цикл не выполнен") : m.result);
            line += ", код " + std::to_string(m.exitCode);
            line += Format(", %.1f с", m.wallSeconds);
            if (m.benchSeconds >= 0) line += Format(" (стенд %.2f с)", m.benchSeconds);
            line += Format(", ЦП %.2f с", m.cpuSeconds);
            if (m.exitCode != 0 && !m.lastError.empty()) line += " — " + m.lastError;
            std::printf("%s\n", line.c_str());
            ok += m.exitCode == 0;
        }
        std::printf("Модулей: %zu, OK: %d, не OK: %zu\n", members.size(), ok, members.size() - static_cast<size_t>(ok));
        return ok == static_cast<int>(members.size()) ? 0 : 1;
    }

    std::vector<std::string> serials_;
    std::string what_;
    std::vector<std::string> numbers_;
    bool next_ = false;
};

} // namespace

void RegisterGangCommands(CommandTable& t) {
    t.Add({"programmers",
           "List the programmers attached: every FTDI device with its description and serial number, every "
           "parallel port and whether it can be used",
           0, [] { return std::make_unique<ProgrammersCommand>(); }, false, true});
    t.Add({"gang",
           "Cycles on several programmers at once: gang --programmers S1,S2,... cycle N1 N2 ... | "
           "gang --programmers S1,S2,... cycle --next",
           1, [] { return std::make_unique<GangCommand>(); }, false, true});
}

} // namespace mrk::cli
