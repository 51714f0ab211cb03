#include "cli/ConsoleHost.h"

#include <unistd.h>

namespace mrk::cli {

ConsoleHost::ConsoleHost(bool verbose, std::FILE* out, std::FILE* err)
    : verbose_(verbose), out_(out), err_(err), tty_(isatty(fileno(err)) != 0) {}

void ConsoleHost::EndProgress() {
    if (progressShown_) {
        std::fputc('\n', err_);
        progressShown_ = false;
        lastPercent_ = -1;
    }
}

void ConsoleHost::Okno(const std::string& line) {
    EndProgress();
    std::fprintf(out_, "%s\n", line.c_str());
    std::fflush(out_);
}

void ConsoleHost::GaugeMax(long max) {
    gaugeMax_ = max;
    lastPercent_ = -1;
}

void ConsoleHost::GaugePos(long pos) {
    if (!tty_ || gaugeMax_ <= 0) return;
    const int percent = static_cast<int>(pos * 100 / gaugeMax_);
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
    std::fprintf(out_, "Label3: %s\n", text.c_str());
}

void ConsoleHost::StaticText1(const std::string& text) {
    if (verbose_) std::fprintf(err_, "StaticText1: %s\n", text.c_str());
}

MsgResult ConsoleHost::MessageBox(const std::string& text, const std::string& caption, MsgKind,
                                  MsgButtons buttons) {
    EndProgress();
    ++messages_;
    if (caption.empty()) std::fprintf(err_, "[сообщение] %s\n", text.c_str());
    else std::fprintf(err_, "[%s] %s\n", caption.c_str(), text.c_str());
    std::fflush(err_);
    // Nobody to ask: a question is answered no, otherwise the only or first button.
    switch (buttons) {
    case MsgButtons::YesNo: return MsgResult::No;
    case MsgButtons::Cancel: return MsgResult::Cancel;
    default: return MsgResult::Ok;
    }
}

} // namespace mrk::cli
