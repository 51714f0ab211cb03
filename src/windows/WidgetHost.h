#pragma once
// The core's Host on the main window's widgets: log lines into Memokno, the
// gauge, the labels, message boxes, one event-loop pass as the message pump.
#include <QStringList>

#include "core/Host.h"

namespace mrk::gui {

class TProg12;

class WidgetHost : public Host {
public:
    explicit WidgetHost(TProg12& window) : w_(window) {}

    void Okno(const std::string& line) override;
    void ClearLog() override;
    // While held, lines are gathered and go into the log in one piece at the
    // release: the log shows them all at once, as a suspended repaint would.
    void HoldLogRepaint(bool hold) override;
    void GaugeMax(long max) override;
    void GaugePos(long pos) override;
    void Label2(const std::string& text) override;
    void Label3(const std::string& text) override;
    void StaticText1(const std::string& text) override;
    void Pump() override;
    MsgResult MessageBox(const std::string& text, const std::string& caption, MsgKind kind,
                         MsgButtons buttons) override;
    void IndicatorsChanged(const Indicators& now) override;

    bool LogHeld() const { return held_; }
    // --verbose: the service label also on stderr, as the command line says it.
    bool verbose = false;

private:
    TProg12& w_;
    bool held_ = false;
    QStringList pending_;
};

} // namespace mrk::gui
