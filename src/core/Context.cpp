#include "core/Context.h"

#include <chrono>

namespace mrk {

Context::Context(Host& h) : host(h), surtan(h, TickMs, TickUs) {
    TickMs = [] {
        using namespace std::chrono;
        return static_cast<uint32_t>(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    };
    TickUs = [] {
        using namespace std::chrono;
        return static_cast<uint64_t>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
    };
}

Context::~Context() = default;

void Context::SetInterfaceUsb(bool usb) {
    ind.CheckUSB = usb;
    ind.CheckBox1 = !usb;
    host.IndicatorsChanged(ind);
}

void Context::SetChipIndicators(bool is4620, bool is452) {
    ind.Prog4520 = is4620;
    ind.CheckBox2 = is452;
    prog.is4620 = is4620; // the chip's rules follow the indicator
    host.IndicatorsChanged(ind);
}

} // namespace mrk
