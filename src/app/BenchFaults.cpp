#include "app/BenchFaults.h"

#include <charconv>

namespace mrk {

namespace {

// A whole decimal number no larger than max.
bool ParseCount(const std::string& text, uint64_t max, uint64_t& out) {
    if (text.empty()) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && out <= max;
}

using sim::BenchOptions;

} // namespace

const std::vector<FaultInfo>& FaultModes() {
    static const std::vector<FaultInfo> modes = {
        {"kordel-absent", "no Kordel on the LPT port (no echo)",
         [](BenchOptions& b, uint64_t) { b.kordelFault = sim::KordelFault::Absent; }},
        {"kordel-echo-high", "the Kordel's echo input stuck high",
         [](BenchOptions& b, uint64_t) { b.kordelFault = sim::KordelFault::EchoStuckHigh; }},
        {"kordel-echo-low", "the Kordel's echo input stuck low",
         [](BenchOptions& b, uint64_t) { b.kordelFault = sim::KordelFault::EchoStuckLow; }},
        {"kordel-slow-echo", "US", "the Kordel's delay line echoes after US microseconds (default 100)",
         {1'000'000, 100},
         [](BenchOptions& b, uint64_t n) { b.kordelEchoDelay = static_cast<sim::Nanos>(n) * sim::kUs; }},
        {"kordel-unplug-after", "N", "the Kordel is pulled off the port after N port accesses",
         {UINT64_MAX / 2, 0, true},
         [](BenchOptions& b, uint64_t n) {
             b.kordelFault = sim::KordelFault::UnplugAfterAccesses;
             b.kordelUnplugAfter = n;
         }},
        {"ftdi-absent", "no FTDI device on the USB bus",
         [](BenchOptions& b, uint64_t) { b.ftdi.fault = sim::FtdiFault::Absent; }},
        {"ftdi-wrong-description", "the FTDI device shows its description in other letter case",
         [](BenchOptions& b, uint64_t) { b.ftdi.fault = sim::FtdiFault::WrongDescription; }},
        {"ftdi-unplug-after", "N", "the FTDI device goes away after N transfers", {UINT32_MAX, 0, true},
         [](BenchOptions& b, uint64_t n) {
             b.ftdi.fault = sim::FtdiFault::UnplugAfterTransfers;
             b.ftdi.unplugAfter = static_cast<uint32_t>(n);
         }},
        {"ftdi-short-writes", "N", "the FTDI device takes at most N bytes per write (default 64)",
         {UINT32_MAX, 64, false, 1, "неисправности ftdi-short-writes нужно не меньше 1 байта на запись"},
         [](BenchOptions& b, uint64_t n) {
             b.ftdi.fault = sim::FtdiFault::ShortWrites;
             b.ftdi.shortWriteLimit = static_cast<uint32_t>(n);
         }},
        {"usb-latency-us", "US",
         "the FTDI device sends read-back that fills no USB packet after US microseconds (default: its latency "
         "timer, 1 ms)",
         {1'000'000, 0, true, 1, "неисправности usb-latency-us нужно не меньше 1 микросекунды"},
         [](BenchOptions& b, uint64_t n) { b.ftdi.readBackLatency = static_cast<sim::Nanos>(n) * sim::kUs; }},
        {"no-boot-loader", "the module's boot loader does not run",
         [](BenchOptions& b, uint64_t) { b.moduleFaults.noBootLoader = true; }},
        {"boot-loader-silent-after", "N", "the boot loader gives no ready signal after block N (0: after sync)",
         {1'000'000, 0, true},
         [](BenchOptions& b, uint64_t n) { b.moduleFaults.stopAfterBlock = static_cast<int>(n); }},
        {"slow-flash", "F", "the boot loader's flash erase and write take F times as long (default 10)",
         {1000, 10, false, 1, "неисправности slow-flash нужен множитель не меньше 1"},
         [](BenchOptions& b, uint64_t n) { b.moduleFaults.slowFlash = static_cast<double>(n); }},
    };
    return modes;
}

bool ApplyFault(const std::string& option, sim::BenchOptions& bench, std::string& error) {
    const size_t eq = option.find('=');
    const std::string name = option.substr(0, eq);
    const bool hasValue = eq != std::string::npos;
    const std::string value = hasValue ? option.substr(eq + 1) : std::string();
    const FaultInfo* info = nullptr;
    for (const auto& m : FaultModes())
        if (name == m.name) info = &m;
    if (!info) {
        error = "неизвестная неисправность стенда: " + name + " (список: --help)";
        return false;
    }
    if (hasValue && !info->value) {
        error = "неисправность " + name + " задаётся без значения";
        return false;
    }
    const FaultRange& range = info->range;
    uint64_t n = range.fallback;
    if (info->value && !hasValue && range.required) {
        error = "неисправности " + name + " нужно значение: " + name + "=" + info->value;
        return false;
    }
    if (hasValue && !ParseCount(value, range.max, n)) {
        error = "неисправность " + name + ": не целое число от 0 до " + std::to_string(range.max) + ": " + value;
        return false;
    }
    if (n < range.min) {
        error = range.belowMin;
        return false;
    }
    info->apply(bench, n);
    return true;
}

} // namespace mrk
