#pragma once
// The one way the core talks back to whoever drives it (main window, CLI, tests).
#include <string>

namespace mrk {

enum class MsgKind { Information, Warning, Error, Confirmation };
enum class MsgButtons { Ok, Cancel, YesNo, OkCancel };
enum class MsgResult { Ok, Cancel, Yes, No };

// States of the main window's read-only indicator check boxes.
// CheckUSB/CheckBox1: programmer interface; Prog4520/CheckBox2: chip kind.
struct Indicators {
    bool CheckUSB = false;
    bool CheckBox1 = false;
    bool Prog4520 = false;
    bool CheckBox2 = false;
    // The compare-range toggle " Сравн. Пр.Пам.": down = whole program memory.
    bool SpeedButton21 = false;
    bool operator==(const Indicators&) const = default;
};

class Host {
public:
    virtual ~Host() = default;
    // One line appended to the main log (Okno).
    virtual void Okno(const std::string& line) = 0;
    // The whole log cleared; and its repainting held while many lines go in.
    // A terminal keeps what it printed and goes on appending.
    virtual void ClearLog() = 0;
    virtual void HoldLogRepaint(bool hold) = 0;
    virtual void GaugeMax(long max) = 0;
    virtual void GaugePos(long pos) = 0;
    // The hidden service label and the status line under the log.
    virtual void Label2(const std::string& text) = 0;
    virtual void Label3(const std::string& text) = 0;
    // The big result indicator ("OK" / "X").
    virtual void StaticText1(const std::string& text) = 0;
    // Lets windows repaint during long loops.
    virtual void Pump() = 0;
    virtual MsgResult MessageBox(const std::string& text, const std::string& caption,
                                 MsgKind kind, MsgButtons buttons) = 0;
    // The indicators changed; the main window mirrors them in its check boxes.
    virtual void IndicatorsChanged(const Indicators& now) = 0;
};

// A host that does nothing; handy as a base for front ends that need only a few hooks.
class NullHost : public Host {
public:
    void Okno(const std::string&) override {}
    void ClearLog() override {}
    void HoldLogRepaint(bool) override {}
    void GaugeMax(long) override {}
    void GaugePos(long) override {}
    void Label2(const std::string&) override {}
    void Label3(const std::string&) override {}
    void StaticText1(const std::string&) override {}
    void Pump() override {}
    MsgResult MessageBox(const std::string&, const std::string&, MsgKind, MsgButtons b) override {
        return b == MsgButtons::YesNo ? MsgResult::No : (b == MsgButtons::Cancel ? MsgResult::Cancel : MsgResult::Ok);
    }
    void IndicatorsChanged(const Indicators&) override {}
};

} // namespace mrk
