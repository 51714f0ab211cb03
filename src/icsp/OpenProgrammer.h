#pragma once
#include <functional>
#include <string>

#include "core/Host.h"
#include "icsp/Chip.h"
#include "transport/Kordel.h"
#include "transport/Surtan.h"

namespace mrk {

// What finding the programmer needs from the station: its two programmers, the
// interface indicator that says which of them serves the lines (and that only
// this detection sets), and the chip indicators identification sets.
struct Programmers {
    Kordel& kordel;
    Surtan& surtan;
    std::function<bool()> usb;        // the interface indicator: the Surtan serves the lines
    std::function<void(bool)> setUsb; // set as detection finds the programmer
    std::function<void(bool is4620, bool is452)> setChip;
    bool& reported;                   // the programmer found has been announced in the log

    Line& line() { return usb() ? static_cast<Line&>(surtan) : kordel; }
};

// Finds the programmer (LPT first, then USB), reports it once, then identifies
// the chip by its device ID and sets the chip indicators, ChipWords and BootWords;
// the IDs read go on the service line. True when a PIC18F4620 or PIC18F452 was recognised.
[[nodiscard]] bool OpenProgrammer(Programmers& programmers, Chip& chip, Host& host, std::string& serviceLine);

// Attempts the identification makes before giving up.
constexpr int kIdentifyAttempts = 101;

} // namespace mrk
