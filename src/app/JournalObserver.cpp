#include "app/JournalObserver.h"

#include "core/Context.h"
#include "core/Format.h"
#include "journal/UtcTime.h"

namespace mrk {

namespace {

constexpr const char* kCaption = "Журнал производства";

} // namespace

JournalObserver::JournalObserver(journal::ProductionJournal& journal) : journal_(journal) {}

void JournalObserver::Describe(Context& ctx, journal::JournalRecord& rec) const {
    rec.programmer = ctx.IsUsb() ? "USB " + ctx.d2xx.FtDevDescr : Format("LPT %x", ctx.portProg.AdrLpt);
    rec.programmerSerial = ctx.IsUsb() ? ctx.d2xx.FtDevSerial : "";
    rec.chip = ctx.Is4620() ? "PIC18F4620" : ctx.ind.CheckBox2 ? "PIC18F452" : "";
    rec.devId1 = ctx.prog.DevId1;
    rec.devId2 = ctx.prog.DevId2;
    // The embedded update image of the chip, with the two sums stored behind it.
    rec.imageName = ctx.Is4620() ? "DATAARRAY1" : "DATAARRAY";
    const size_t sums = 2u * ctx.prog.ChipWords;
    rec.imageSum1 = ctx.image.BuffEt[sums + 1];
    rec.imageSum2 = ctx.image.BuffEt[sums + 2];
}

void JournalObserver::Listen(Context& ctx) {
    journal_.say = [&ctx](const std::string& line) { ctx.host.Okno(line); };
    journal_.confirmRedo = [this, &ctx](const journal::JournalRecord& holder) {
        const std::string number = holder.factoryNumber ? std::to_string(*holder.factoryNumber) : "?";
        if (sameModule_) {
            ctx.host.Okno("Модуль " + number + " программируется повторно.");
            return true;
        }
        const std::string q = "Заводской номер " + number + " уже присвоен модулю (станция " + holder.station +
                              ", " + journal::LocalTimeText(holder.startedUtc) + ", результат " + journal::ResultText(holder) +
                              ").\nЭто тот же модуль, он программируется повторно?";
        return ctx.host.MessageBox(q, kCaption, MsgKind::Confirmation, MsgButtons::YesNo) == MsgResult::Yes;
    };
}

bool JournalObserver::NumberWriting(Context& ctx, uint16_t number) {
    // The cycle's own stamp: its number was reserved when the cycle started.
    if (depth_ > 0 && journal_.Running() && journal_.Current().factoryNumber == number) return true;
    Listen(ctx);
    std::string why;
    if (journal_.ReserveNumber(number, why)) return true;
    ctx.host.Okno(why);
    ctx.host.MessageBox(why, kCaption, MsgKind::Warning, MsgButtons::Ok);
    return false;
}

bool JournalObserver::RunStarting(Context& ctx, RunKind kind, uint32_t moduleNumber) {
    if (depth_++ > 0) return true;
    journal::JournalRecord rec;
    rec.kind = kind == RunKind::Cycle ? journal::RunKind::Cycle : journal::RunKind::Update;
    Describe(ctx, rec);
    if (kind == RunKind::Cycle) {
        rec.factoryNumber = uint16_t(moduleNumber & 0xFFFF);
        rec.moduleNumber = moduleNumber;
        // As loaded for the run; a run killed before its end still shows them.
        rec.config.assign(ctx.image.ConfigWrite.begin(), ctx.image.ConfigWrite.end());
        rec.bootPath = ctx.Is4620() ? ctx.image.BootPath4620 : ctx.image.BootPath452;
        // Of the bytes the load took, never the file read again (it may be a pipe or a device).
        rec.bootSha256 = ctx.image.BootSha256;
    }
    Listen(ctx);
    std::string why;
    if (!journal_.Start(std::move(rec), why)) {
        depth_ = 0;
        ctx.host.Okno(why);
        ctx.host.MessageBox(why, kCaption, MsgKind::Warning, MsgButtons::Ok);
        return false;
    }
    return true;
}

void JournalObserver::StepDone(Context&, int step, const char* what, bool ok) {
    if (depth_ == 1) journal_.Step(step, what, ok);
}

void JournalObserver::RunEnded(Context& ctx, bool ok, uint32_t moduleNumber) {
    Finish(ctx, ok ? "OK" : "X", moduleNumber);
}

void JournalObserver::RunStopped(Context& ctx, uint32_t moduleNumber) { Finish(ctx, "stopped", moduleNumber); }

void JournalObserver::Finish(Context& ctx, const char* result, uint32_t moduleNumber) {
    if (depth_ == 0 || --depth_ > 0) return;
    if (!journal_.Running()) return;
    auto& rec = journal_.Current();
    Describe(ctx, rec); // the update learns its image after it started
    if (rec.kind == journal::RunKind::Cycle) {
        rec.config.assign(ctx.image.ConfigWrite.begin(), ctx.image.ConfigWrite.end());
        rec.moduleNumber = moduleNumber;
    } else {
        // The identity the module carries, as this run read it from the module
        // (0: it read none); ID words left by an earlier read belong to another run.
        if (moduleNumber != 0 && moduleNumber != 0xFFFFFFFF) {
            rec.moduleNumber = moduleNumber;
            rec.factoryNumber = uint16_t(moduleNumber & 0xFFFF);
        }
    }
    journal_.Finish(result);
}

} // namespace mrk
