#pragma once
// The production journal behind the commands: fills each run's record from the
// context (programmer, chip, images, configuration, module number), reserves
// the cycle's factory number before the module is touched, and keeps the log
// lines the run writes (through JournalingHost).
#include <memory>
#include <string>

#include "app/RunObserver.h"
#include "core/Host.h"
#include "journal/ProductionJournal.h"

namespace mrk {

class JournalObserver : public RunObserver {
public:
    explicit JournalObserver(journal::ProductionJournal& journal);

    // The operator has confirmed beforehand that the module is the one redone
    // (the CLI's --same-module); otherwise a taken number is asked about in a box.
    void ConfirmSameModule(bool yes) { sameModule_ = yes; }

    [[nodiscard]] bool RunStarting(Context& ctx, RunKind kind, uint32_t moduleNumber) override;
    void StepDone(Context& ctx, int step, const char* what, bool ok) override;
    void RunEnded(Context& ctx, bool ok, uint32_t moduleNumber) override;
    void RunStopped(Context& ctx, uint32_t moduleNumber) override;
    bool NumberWriting(Context& ctx, uint16_t number) override;

    journal::ProductionJournal& Journal() { return journal_; }

private:
    void Finish(Context& ctx, const char* result, uint32_t moduleNumber);
    // The journal speaks and asks through this run's host.
    void Listen(Context& ctx);
    void Describe(Context& ctx, journal::JournalRecord& rec) const;
    journal::ProductionJournal& journal_;
    int depth_ = 0; // the update inside a cycle belongs to the cycle's record
    bool sameModule_ = false;
    Host* host_ = nullptr;
};

// The front end's host with the journal listening to the log: every line a run
// writes goes into its record as well.
class JournalingHost : public Host {
public:
    JournalingHost(Host& inner, journal::ProductionJournal& journal) : inner_(inner), journal_(journal) {}
    void Okno(const std::string& line) override {
        journal_.Log(line);
        inner_.Okno(line);
    }
    void ClearLog() override { inner_.ClearLog(); }
    void HoldLogRepaint(bool hold) override { inner_.HoldLogRepaint(hold); }
    void GaugeMax(long max) override { inner_.GaugeMax(max); }
    void GaugePos(long pos) override { inner_.GaugePos(pos); }
    void Label2(const std::string& text) override { inner_.Label2(text); }
    void Label3(const std::string& text) override { inner_.Label3(text); }
    void StaticText1(const std::string& text) override { inner_.StaticText1(text); }
    void Pump() override { inner_.Pump(); }
    MsgResult MessageBox(const std::string& text, const std::string& caption, MsgKind kind,
                         MsgButtons buttons) override {
        return inner_.MessageBox(text, caption, kind, buttons);
    }
    void IndicatorsChanged(const Indicators& now) override { inner_.IndicatorsChanged(now); }

private:
    Host& inner_;
    journal::ProductionJournal& journal_;
};

} // namespace mrk
