#include "cli/ConsoleHost.h"

#include <unistd.h>

#include <algorithm>

namespace mrk::cli {

ConsoleHost::ConsoleHost(bool verbose, std::FILE* out, std::FILE* err)
    : verbose_(verbose), out_(out), err_(err), tty_(isatty(fileno(err)) != 0) {}

// The bar is taken off the terminal line when its command or the next log line
// comes: a finished command leaves its log, never a stale "[###  ] 99%".
void ConsoleHost::EndProgress() {
    if (progressShown_) {
        std::fputs("\r\033[K", err_);
        std::fflush(err_);
        progressShown_ = false;
    }
    lastPercent_ = -1;
}

void ConsoleHost::Okno(const std::string& line) {
    Pump();
    EndProgress();
    lastLine_ = line;
    std::fprintf(out_, "%s\n", line.c_str());
    std::fflush(out_);
}

void ConsoleHost::GaugeMax(long max) {
    gaugeMax_ = max;
    lastPercent_ = -1;
}

void ConsoleHost::GaugePos(long pos) {
    Pump();
    if (!tty_ || gaugeMax_ <= 0) return;
    const int percent = static_cast<int>(std::clamp(pos, 0L, gaugeMax_) * 100 / gaugeMax_);
    // A gauge set back to its start is not progress: nothing to draw until it moves.
    if (percent == 0 && !progressShown_) return;
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    const int filled = percent / 4;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.resize(25, ' ');
    std::fprintf(err_, "\r[%s] %3d%%", bar.c_str(), percent);
    std::fflush(err_);
    progressShown_ = true;
}

void ConsoleHost::Label2(const std::string& text) {
    label2_ = text;
    if (verbose_) std::fprintf(err_, "Label2: %s\n", text.c_str());
}

void ConsoleHost::Label3(const std::string& text) {
    label3_ = text;
    EndProgress();
    // The window's status label under the log: its text as the operator reads it,
    // the control's name only when asked for more.
    std::fprintf(out_, verbose_ ? "Label3: %s\n" : "%s\n", text.c_str());
}

void ConsoleHost::StaticText1(const std::string& text) {
    if (verbose_) std::fprintf(err_, "StaticText1: %s\n", text.c_str());
}

MsgResult ConsoleHost::MessageBox(const std::string& text, const std::string& caption, MsgKind,
                                  MsgButtons buttons) {
    EndProgress();
    ++messages_;
    // Nobody to ask: a question is not printed (the command says what to give
    // instead) and is answered no; a box that repeats the log line just written is not said twice.
    if (buttons == MsgButtons::YesNo) ++declined_;
    else if (text != lastLine_) {
        if (caption.empty()) std::fprintf(err_, "[сообщение] %s\n", text.c_str());
        else std::fprintf(err_, "[%s] %s\n", caption.c_str(), text.c_str());
        std::fflush(err_);
    }
    switch (buttons) {
    case MsgButtons::YesNo: return MsgResult::No;
    case MsgButtons::Cancel: return MsgResult::Cancel;
    default: return MsgResult::Ok;
    }
}

} // namespace mrk::cli
