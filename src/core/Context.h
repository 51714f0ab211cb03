#pragma once
// The process-wide context: every module's variables, grouped per module and
// owned here, so a front end (or a test) makes one fresh context and passes it down.
#include <cstdint>
#include <functional>

#include "app/CommandVars.h"
#include "core/Host.h"
#include "icsp/ProgVars.h"
#include "image/FirmwareImages.h"
#include "transport/Kordel.h"
#include "transport/Surtan.h"

namespace mrk {

class RunObserver;

struct Context {
    explicit Context(Host& h);
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    ~Context();

    Host& host;
    Indicators ind;              // CheckUSB / CheckBox1 / Prog4520 / CheckBox2

    // Milliseconds since an arbitrary start; the bench replaces it with its own clock.
    std::function<uint32_t()> TickMs;
    // Microseconds on the same clock, for the USB waits that must not end a
    // moment early; replaced together with TickMs.
    std::function<uint64_t()> TickUs;

    // The two programmers, each with its own state.
    Kordel kordel;
    Surtan surtan;
    // Their state under the names the commands know it by.
    PortProgVars& portProg = kordel.portProg;    // line operations (LPT side)
    DirectPortVars& directPort = kordel.directPort; // port access
    D2xxVars& d2xx = surtan.d2xx;                // FTDI wrapper
    FtFunkcVars& ft = surtan.ft;                 // USB sample engine
    ProgVars prog;               // programmer open, chip sizes
    FirmwareImages image;             // reference and read-back images
    CommandVars commands;        // main-window command state

    // Watches the cycle and the update from start to end (the production journal); may be null.
    RunObserver* runObserver = nullptr;

    // Interface and chip indicators: only programmer detection changes them.
    void SetInterfaceUsb(bool usb);
    void SetChipIndicators(bool is4620, bool is452);
    [[nodiscard]] bool IsUsb() const { return ind.CheckUSB; }
    [[nodiscard]] bool Is4620() const { return ind.Prog4520; }
    // The programmer the indicator names serves the lines: the Surtan while
    // CheckUSB is on, the Kordel otherwise.
    [[nodiscard]] Line& line() { return IsUsb() ? static_cast<Line&>(surtan) : kordel; }
};

} // namespace mrk
