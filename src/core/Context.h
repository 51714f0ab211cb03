#pragma once
// The process-wide context: every module's variables, grouped per module and
// owned here, so a front end (or a test) makes one fresh context and passes it down.
#include <cstdint>
#include <functional>

#include "app/CommandVars.h"
#include "core/Host.h"
#include "icsp/ProgVars.h"
#include "image/FirmwareImages.h"
#include "transport/D2xxVars.h"
#include "transport/DirectPortVars.h"
#include "transport/FtFunkcVars.h"
#include "transport/PortProgVars.h"

namespace mrk {

class RunObserver;

struct Context {
    explicit Context(Host& h);
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    ~Context();

    Host& host;
    Indicators ind;              // CheckUSB / CheckBox1 / Prog4520 / CheckBox2

    PortProgVars portProg;       // line operations (LPT side)
    DirectPortVars directPort;   // port access
    D2xxVars d2xx;               // FTDI wrapper
    FtFunkcVars ft;              // USB sample engine
    ProgVars prog;               // programmer open, chip sizes
    FirmwareImages image;             // reference and read-back images
    CommandVars commands;        // main-window command state

    // Watches the cycle and the update from start to end (the production journal); may be null.
    RunObserver* runObserver = nullptr;

    // Milliseconds since an arbitrary start; the bench replaces it with its own clock.
    std::function<uint32_t()> TickMs;
    // Microseconds on the same clock, for the USB waits that must not end a
    // moment early; replaced together with TickMs.
    std::function<uint64_t()> TickUs;

    // Interface and chip indicators: only programmer detection changes them.
    void SetInterfaceUsb(bool usb);
    void SetChipIndicators(bool is4620, bool is452);
    [[nodiscard]] bool IsUsb() const { return ind.CheckUSB; }
    [[nodiscard]] bool Is4620() const { return ind.Prog4520; }
};

} // namespace mrk
