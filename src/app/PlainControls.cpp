#include "app/PlainControls.h"

namespace mrk {

namespace {

size_t Index(Ctl c) { return static_cast<size_t>(c); }

} // namespace

PlainControls::PlainControls() {
    enabled_.fill(true);
    down_.fill(false);
    // Each command button's hidden partner is down at start, and so is "СТОП".
    for (Ctl c : {Ctl::SpeedButton9, Ctl::SpeedButton14, Ctl::SpeedButton15, Ctl::SpeedButton12, Ctl::Avt_Prog_St})
        down_[Index(c)] = true;
}

int PlainControls::Group(Ctl c) {
    switch (c) {
    case Ctl::Prog:
    case Ctl::SpeedButton9: return 1;
    case Ctl::ReadChip:
    case Ctl::SpeedButton14: return 3;
    case Ctl::Sravn:
    case Ctl::SpeedButton21:
    case Ctl::SpeedButton15: return 4;
    case Ctl::SpeedButton18:
    case Ctl::SpeedButton12: return 5;
    // "ПУСК" and "СТОП" share group number 1 with Prog, but in their own group box.
    case Ctl::Avtom_Prog_P:
    case Ctl::Avt_Prog_St: return 101;
    default: return 0;
    }
}

bool PlainControls::Enabled(Ctl c) const { return enabled_[Index(c)]; }

void PlainControls::SetEnabled(Ctl c, bool enabled) { enabled_[Index(c)] = enabled; }

void PlainControls::SetDown(Ctl c) {
    const int group = Group(c);
    if (group != 0)
        for (size_t k = 0; k < kCount; ++k)
            if (Group(static_cast<Ctl>(k)) == group) down_[k] = false;
    down_[Index(c)] = true;
}

bool PlainControls::Down(Ctl c) const { return down_[Index(c)]; }

} // namespace mrk
