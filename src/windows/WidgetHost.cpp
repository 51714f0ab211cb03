#include "windows/WidgetHost.h"

#include <cstdio>

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QAbstractButton>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

#include "windows/RussianButtons.h"
#include "windows/TProg12.h"

namespace mrk::gui {

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

int ClampToInt(long v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int>(v);
}

} // namespace

void WidgetHost::Okno(const std::string& line) {
    if (held_) pending_.append(Q(line));
    else w_.Memokno->appendPlainText(Q(line));
}

void WidgetHost::ClearLog() {
    pending_.clear();
    w_.Memokno->clear();
}

void WidgetHost::HoldLogRepaint(bool hold) {
    if (hold == held_) return;
    held_ = hold;
    w_.Memokno->setUpdatesEnabled(!hold);
    if (!hold && !pending_.isEmpty()) {
        // One insertion for all gathered lines: the lines of a page listing
        // cost one layout pass instead of one each.
        w_.Memokno->appendPlainText(pending_.join(QLatin1Char('\n')));
        pending_.clear();
    }
}

void WidgetHost::GaugeMax(long max) {
    w_.Gauge1->setMaximum(ClampToInt(max));
}

void WidgetHost::GaugePos(long pos) {
    w_.Gauge1->setValue(ClampToInt(pos));
}

void WidgetHost::Label2(const std::string& text) {
    if (verbose) std::fprintf(stderr, "Label2: %s\n", text.c_str());
    w_.Label2->setText(Q(text));
}

void WidgetHost::Label3(const std::string& text) {
    w_.Label3->setText(Q(text));
}

void WidgetHost::StaticText1(const std::string& text) {
    w_.StaticText1->setText(Q(text));
}

void WidgetHost::Pump() {
    w_.FollowBenchClock();
    QCoreApplication::processEvents();
}

MsgResult WidgetHost::MessageBox(const std::string& text, const std::string& caption, MsgKind kind,
                                 MsgButtons buttons) {
    QMessageBox::Icon icon = QMessageBox::Information;
    switch (kind) {
    case MsgKind::Information: icon = QMessageBox::Information; break;
    case MsgKind::Warning: icon = QMessageBox::Warning; break;
    case MsgKind::Error: icon = QMessageBox::Critical; break;
    case MsgKind::Confirmation: icon = QMessageBox::Question; break;
    }
    QMessageBox box(icon, caption.empty() ? w_.windowTitle() : Q(caption), Q(text), QMessageBox::NoButton, &w_);
    if (buttons == MsgButtons::YesNo) {
        // A question: "Нет" unless "Да" is chosen (Escape and closing the box say "Нет").
        QPushButton* yes = RussianYesNo(box);
        box.exec();
        return box.clickedButton() == yes ? MsgResult::Yes : MsgResult::No;
    }
    switch (buttons) {
    case MsgButtons::Cancel: box.setStandardButtons(QMessageBox::Cancel); break;
    case MsgButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    default: box.setStandardButtons(QMessageBox::Ok); break;
    }
    RussianCaptions(box);
    return box.exec() == QMessageBox::Cancel ? MsgResult::Cancel : MsgResult::Ok;
}

void WidgetHost::IndicatorsChanged(const Indicators& now) {
    w_.CheckUSB->setChecked(now.CheckUSB);
    w_.CheckBox1->setChecked(now.CheckBox1);
    w_.Prog4520->setChecked(now.Prog4520);
    w_.CheckBox2->setChecked(now.CheckBox2);
    if (now.SpeedButton21 && !w_.SpeedButton21->isChecked()) w_.SpeedButton21->setChecked(true);
}

} // namespace mrk::gui
