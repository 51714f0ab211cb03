#pragma once
// The CLI's face: log lines on stdout, message boxes and the progress bar on stderr.
#include <cstdio>
#include <functional>
#include <string>

#include "core/Host.h"

namespace mrk::cli {

class ConsoleHost : public Host {
public:
    explicit ConsoleHost(bool verbose, std::FILE* out = stdout, std::FILE* err = stderr);

    void Okno(const std::string& line) override;
    // A terminal keeps what it printed: clearing the log shows nothing.
    void ClearLog() override {}
    void HoldLogRepaint(bool) override {}
    void GaugeMax(long max) override;
    void GaugePos(long pos) override;
    void Label2(const std::string& text) override;
    void Label3(const std::string& text) override;
    void StaticText1(const std::string& text) override;
    // Between a command's steps, and whenever it reports progress: what the
    // session looks at there (a stop signal), as the window's message pump would.
    void Pump() override {
        if (onPump) onPump();
    }
    std::function<void()> onPump;
    MsgResult MessageBox(const std::string& text, const std::string& caption, MsgKind kind,
                         MsgButtons buttons) override;
    void IndicatorsChanged(const Indicators& now) override { indicators_ = now; }

    const std::string& Label2Text() const { return label2_; }
    const std::string& Label3Text() const { return label3_; }
    const Indicators& IndicatorsNow() const { return indicators_; }
    [[nodiscard]] int MessageCount() const { return messages_; }
    // Questions answered "no" because a command line cannot ask them.
    [[nodiscard]] int DeclinedQuestions() const { return declined_; }
    // Ends a progress bar line, if one is showing.
    void EndProgress();

private:
    bool verbose_;
    std::FILE* out_;
    std::FILE* err_;
    bool tty_;
    long gaugeMax_ = 0;
    int lastPercent_ = -1;
    bool progressShown_ = false;
    std::string label2_, label3_;
    Indicators indicators_;
    int messages_ = 0;
    int declined_ = 0;
    std::string lastLine_;
};

} // namespace mrk::cli
