#pragma once
// A Host that records everything the core tells the user, for assertions.
#include <string>
#include <vector>

#include "core/Host.h"

namespace mrk::test {

struct RecordedMessage {
    std::string text, caption;
    MsgKind kind;
    MsgButtons buttons;
};

class RecordingHost : public Host {
public:
    std::vector<std::string> log;
    std::vector<RecordedMessage> messages;
    std::string label2, label3, staticText1;
    long gaugeMax = 0, gaugePos = 0;
    int pumps = 0;
    Indicators indicators;
    MsgResult nextAnswer = MsgResult::Ok;

    int clears = 0;
    bool held = false;

    void Okno(const std::string& line) override { log.push_back(line); }
    void ClearLog() override {
        log.clear();
        ++clears;
    }
    void HoldLogRepaint(bool hold) override { held = hold; }
    void GaugeMax(long m) override { gaugeMax = m; }
    void GaugePos(long p) override { gaugePos = p; }
    void Label2(const std::string& t) override { label2 = t; }
    void Label3(const std::string& t) override { label3 = t; }
    void StaticText1(const std::string& t) override { staticText1 = t; }
    void Pump() override { ++pumps; }
    MsgResult MessageBox(const std::string& text, const std::string& caption, MsgKind kind,
                         MsgButtons buttons) override {
        messages.push_back({text, caption, kind, buttons});
        return nextAnswer;
    }
    void IndicatorsChanged(const Indicators& now) override { indicators = now; }
};

} // namespace mrk::test
