#include "app/Station.h"

#include <filesystem>

#include "app/BenchFaults.h"
#include "app/ProgrammerTable.h"
#include "app/Settings.h"
#include "core/FileBytes.h"
#include "journal/JournalSettings.h"
#include "sim/ExecutedFirmware.h"
#include "transport/D2XXUnit.h"
#include "transport/Kordel.h"
#include "transport/SurtanChoice.h"

namespace mrk {

namespace {

StationStatus Usage(std::string message) { return {2, std::move(message)}; }
StationStatus Unusable(std::string message) { return {1, std::move(message)}; }

std::string Listed(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& n : names) text += (text.empty() ? "" : ", ") + n;
    return text;
}

std::optional<sim::ChipModel> BenchChip(const std::string& chip) {
    if (chip == "452") return sim::ChipModel::PIC18F452;
    if (chip == "none") return std::nullopt;
    return sim::ChipModel::PIC18F4620;
}

// The bench's options from the station's; the faults were checked beforehand.
sim::BenchOptions BenchFor(const StationOptions& opt, uint16_t lptAddress) {
    sim::BenchOptions bo;
    bo.kind = *FindProgrammer(opt.bench)->bench;
    bo.chip = BenchChip(opt.chip);
    bo.lptBase = lptAddress;
    // The virtual Surtans, each with a module of its own; the chosen one's is the module file's.
    if (bo.kind == sim::BenchKind::VirtualUsb) bo.surtanSerials = BenchSurtanSerials();
    bo.chosenSurtan = opt.programmer;
    // Without a module file the bench starts from a module fresh from the factory.
    bo.factoryBootLoader = opt.module.empty();
    for (const auto& f : opt.faults) {
        std::string unused;
        (void)ApplyFault(f, bo, unused); // each was checked by CheckStationOptions
    }
    FindModuleFirmware(opt.moduleFirmware)->apply(bo);
    return bo;
}

// Executed firmware only exists on the bench: asking for it asks for the bench.
StationOptions OnBenchIfExecuted(StationOptions opt) {
    if (opt.bench.empty() && opt.moduleFirmware != ModuleFirmwareTable().front().name) opt.bench = "virtual-lpt";
    return opt;
}

} // namespace

StationStatus CheckStationOptions(const StationOptions& given) {
    const StationOptions opt = OnBenchIfExecuted(given);
    if (!opt.bench.empty()) {
        const ProgrammerEntry* e = FindProgrammer(opt.bench);
        if (!e || !e->bench)
            return Usage("--bench: допустимы " + Listed(BenchProgrammerNames()) + "; указано " + opt.bench);
    }
    if (const ProgrammerEntry* e = FindProgrammer(opt.usbDriver);
        !e || e->bench || e->wire != ProgrammerWire::Usb)
        return Usage("--usb-driver: допустимы " + Listed(UsbDriverNames()) + "; указано " + opt.usbDriver);
    if (opt.chip != "4620" && opt.chip != "452" && opt.chip != "none")
        return Usage("--chip: допустимы 4620, 452, none; указано " + opt.chip);
    if (!FindModuleFirmware(opt.moduleFirmware))
        return Usage("--module-firmware: допустимы " + Listed(ModuleFirmwareNames()) + "; указано " + opt.moduleFirmware);
    if (!opt.module.empty() && opt.bench.empty())
        return Usage("--module задаёт память виртуального модуля: нужен --bench");
    if (!opt.faults.empty() && opt.bench.empty())
        return Usage("--fault действует на виртуальном стенде: нужен --bench");
    if (!opt.module.empty() && opt.chip == "none")
        return Usage("--module нужен модуль на стенде: --chip 4620 или 452");
    if (!opt.programmer.empty() && !opt.bench.empty() && FindProgrammer(opt.bench)->wire != ProgrammerWire::Usb)
        return Usage("--programmer выбирает программатор Surtan по серийному номеру: на стенде " + opt.bench +
                     " его нет (нужен --bench virtual-usb)");
    sim::BenchOptions scratch;
    for (const auto& f : opt.faults) {
        std::string error;
        if (!ApplyFault(f, scratch, error)) return Usage("--fault: " + error);
    }
    // The executed module runs what its flash holds: faults of the boot-loader
    // model would silently do nothing.
    if (opt.moduleFirmware == "gpsim" && scratch.moduleFaults.Any())
        return Usage("--fault: неисправности загрузчика действуют на его модель, а --module-firmware gpsim "
                     "выполняет загрузчик из flash модуля");
    return {};
}

Station::Station(Host& host) : host_(host, journal_), observer_(journal_), ctx_(host_) {}

Station::~Station() {
    // A window torn down without its close still lets go of the port.
    if (opened_ && !closed_ && !bench_) ctx_.kordel.RemoveGiveIo();
}

StationStatus Station::Open(const StationOptions& given) {
    const StationOptions opt = OnBenchIfExecuted(given);
    opt_ = opt;
    openStatus_ = CheckStationOptions(opt);
    if (!openStatus_.Ok()) return openStatus_;
    // gpsim is the developer's option, not installed on every station: said before anything is read.
    if (opt.moduleFirmware == "gpsim") {
        if (std::string why = sim::ExecutedFirmwareProblem(); !why.empty()) return openStatus_ = Unusable(std::move(why));
    }

    // The settings file, as the main window reads it at start; an LPT address given overrides its port.
    // The station's own folders when installed, the current folder otherwise.
    place_ = StationPlaceFor(opt.settingsPath, opt.programName);
    const std::string& iniPath = place_.settingsFile;
    const SettingsValues settings = ReadSettingsFile(iniPath);
    settingsProblem_ = settings.problem;
    // A settings file named on purpose that is not there is most likely a typing
    // mistake: the run would go on with the defaults without a word.
    if (std::error_code ec; !opt.settingsPath.empty() && !std::filesystem::exists(iniPath, ec) && !ec)
        settingsProblem_ = "Файл настроек " + iniPath +
                           " не существует: взяты значения по умолчанию; в режиме производства настройки "
                           "будут записаны в этот файл при выходе.";
    const uint16_t lptAddress = opt.lptAddress.value_or(settings.AdrLpt);
    // The Surtan by its serial number: the option's, else the settings file's.
    StationOptions chosen = opt;
    if (chosen.programmer.empty()) chosen.programmer = ProgrammerSerialSetting(iniPath);
    if (!chosen.programmer.empty() && !chosen.bench.empty() && FindProgrammer(chosen.bench)->wire != ProgrammerWire::Usb)
        chosen.programmer.clear(); // the settings' Surtan is not on a Kordel bench
    const std::string benchSerial = chosen.programmer.empty() && !BenchSurtanSerials().empty()
                                        ? BenchSurtanSerials().front() : chosen.programmer;
    moduleFile_ = ModuleFileFor(opt.module, benchSerial);
    opt_.module = moduleFile_;
    opt_.programmer = chosen.programmer;
    // The production journal keeps each cycle's and update's record, with the lines they log.
    ctx_.commands.IniPath = iniPath;
    ReloadJournalSettings();
    ApplySettings(ctx_, settings);
    ctx_.portProg.AdrLpt = lptAddress;
    if (opt.assumeChip) {
        ctx_.SetChipIndicators(opt.chip != "452" && opt.chip != "none", opt.chip == "452");
        if (opt.chip == "452") {
            ctx_.prog.ChipWords = 0x4000;
            ctx_.prog.BootWords = 0x180;
        }
    }

    if (!opt.bench.empty()) {
        bench_ = std::make_unique<sim::Bench>(BenchFor(chosen, lptAddress));
        bench_->Install(ctx_);
        openStatus_ = LoadModuleFile();
        if (!openStatus_.Ok()) return openStatus_;
    } else {
        // The real programmers: the Kordel's port and the chosen USB driver. A Surtan
        // chosen by its serial number is the programmer: the port is left to others.
        for (const auto& e : ProgrammerTable())
            if (!e.bench && ((e.wire == ProgrammerWire::Lpt && chosen.programmer.empty()) || opt.usbDriver == e.name))
                e.install(ctx_);
    }
    ChooseSurtan(ctx_.surtan, chosen.programmer);
    opened_ = true;
    return openStatus_;
}

StationStatus Station::LoadModuleFile() {
    const std::string& path = opt_.module;
    if (path.empty() || !bench_->Module()) return {};
    std::error_code ec;
    moduleFileExists_ = std::filesystem::exists(path, ec);
    if (ec) return Unusable("Файл модуля " + path + ": " + FileErrorText(ec.value()));
    std::string error;
    if (moduleFileExists_ && !bench_->Module()->LoadHex(path, error))
        return Unusable("Файл модуля: " + error);
    // A result that could not be saved would be lost: say so before anything runs.
    if (int err = 0; !CanReplaceFile(path, err))
        return Unusable("Файл модуля " + path + " нельзя сохранить: " + FileErrorText(err));
    moduleBefore_ = bench_->Module()->HexText();
    return {};
}

StationStatus Station::Close(bool writeSettings) {
    if (!opened_ || closed_) return {};
    closed_ = true;
    StationStatus status;
    // Settings that could not be kept are said; a file its owner made read-only
    // is his choice and no failure of the run.
    auto say = [&status](int exitCode, const std::string& message) {
        if (status.exitCode == 0) status.exitCode = exitCode;
        status.message += (status.message.empty() ? "" : "\n") + message;
    };
    if (writeSettings) { // production mode only
        const SettingsWriteOutcome settings = WriteSettingsAtClose(ctx_);
        if (settings.Lost()) say(settings.result == SettingsWrite::Failed ? 1 : 0, settings.message);
    }
    if (!bench_) ctx_.kordel.RemoveGiveIo();
    if (!bench_ || !bench_->Module() || opt_.module.empty()) return status;
    // Let erases and writes still under way finish before the memory is saved.
    bench_->Module()->Settle(bench_->Clock().Now() + 100 * sim::kMs);
    if (moduleFileExists_ && bench_->Module()->HexText() == moduleBefore_) return status;
    std::string error;
    if (!bench_->Module()->SaveHex(opt_.module, error)) say(1, "Файл модуля: " + error);
    return status;
}

void Station::ReloadJournalSettings() {
    journal::JournalPlace where;
    where.defaultFile = (std::filesystem::path(place_.journalFolder) / journal::kDefaultJournalFile).string();
    where.relativeBase = place_.relativeBase;
    where.legacyFile = place_.legacyJournalFile;
    where.bench = !opt_.bench.empty();
    journal_.Configure(JournalSettingsOf(ctx_.commands.IniPath, where));
    ctx_.runObserver = journal_.Settings().enabled ? &observer_ : nullptr;
}

std::string Station::UsbProblem() const { return ctx_.surtan.Problem(); }

} // namespace mrk
