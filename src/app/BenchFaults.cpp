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

} // namespace

const std::vector<FaultInfo>& FaultModes() {
    static const std::vector<FaultInfo> modes = {
        {"kordel-absent", nullptr, "no Kordel on the LPT port (no echo)"},
        {"kordel-echo-high", nullptr, "the Kordel's echo input stuck high"},
        {"kordel-echo-low", nullptr, "the Kordel's echo input stuck low"},
        {"kordel-slow-echo", "US", "the Kordel's delay line echoes after US microseconds (default 100)"},
        {"kordel-unplug-after", "N", "the Kordel is pulled off the port after N port accesses"},
        {"ftdi-absent", nullptr, "no FTDI device on the USB bus"},
        {"ftdi-wrong-description", nullptr, "the FTDI device shows its description in other letter case"},
        {"ftdi-unplug-after", "N", "the FTDI device goes away after N transfers"},
        {"ftdi-short-writes", "N", "the FTDI device takes at most N bytes per write (default 64)"},
        {"usb-latency-us", "US", "the FTDI device sends read-back that fills no USB packet after US microseconds (default: its latency timer, 1 ms)"},
        {"no-boot-loader", nullptr, "the module's boot loader does not run"},
        {"boot-loader-silent-after", "N", "the boot loader gives no ready signal after block N (0: after sync)"},
        {"slow-flash", "F", "the boot loader's flash erase and write take F times as long (default 10)"},
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
    uint64_t n = 0;
    auto count = [&](uint64_t max, uint64_t fallback, bool required) {
        if (!hasValue) {
            if (required) error = "неисправности " + name + " нужно значение: " + name + "=" + info->value;
            n = fallback;
            return !required;
        }
        if (!ParseCount(value, max, n)) {
            error = "неисправность " + name + ": не целое число от 0 до " + std::to_string(max) + ": " + value;
            return false;
        }
        return true;
    };
    if (name == "kordel-absent") bench.kordelFault = sim::KordelFault::Absent;
    else if (name == "kordel-echo-high") bench.kordelFault = sim::KordelFault::EchoStuckHigh;
    else if (name == "kordel-echo-low") bench.kordelFault = sim::KordelFault::EchoStuckLow;
    else if (name == "kordel-slow-echo") {
        if (!count(1'000'000, 100, false)) return false;
        bench.kordelEchoDelay = static_cast<sim::Nanos>(n) * sim::kUs;
    } else if (name == "kordel-unplug-after") {
        if (!count(UINT64_MAX / 2, 0, true)) return false;
        bench.kordelFault = sim::KordelFault::UnplugAfterAccesses;
        bench.kordelUnplugAfter = n;
    } else if (name == "ftdi-absent") bench.ftdi.fault = sim::FtdiFault::Absent;
    else if (name == "ftdi-wrong-description") bench.ftdi.fault = sim::FtdiFault::WrongDescription;
    else if (name == "ftdi-unplug-after") {
        if (!count(UINT32_MAX, 0, true)) return false;
        bench.ftdi.fault = sim::FtdiFault::UnplugAfterTransfers;
        bench.ftdi.unplugAfter = static_cast<uint32_t>(n);
    } else if (name == "ftdi-short-writes") {
        if (!count(UINT32_MAX, 64, false)) return false;
        if (n == 0) {
            error = "неисправности ftdi-short-writes нужно не меньше 1 байта на запись";
            return false;
        }
        bench.ftdi.fault = sim::FtdiFault::ShortWrites;
        bench.ftdi.shortWriteLimit = static_cast<uint32_t>(n);
    } else if (name == "usb-latency-us") {
        if (!count(1'000'000, 0, true)) return false;
        if (n == 0) {
            error = "неисправности usb-latency-us нужно не меньше 1 микросекунды";
            return false;
        }
        bench.ftdi.readBackLatency = static_cast<sim::Nanos>(n) * sim::kUs;
    } else if (name == "no-boot-loader") bench.moduleFaults.noBootLoader = true;
    else if (name == "boot-loader-silent-after") {
        if (!count(1'000'000, 0, true)) return false;
        bench.moduleFaults.stopAfterBlock = static_cast<int>(n);
    } else if (name == "slow-flash") {
        if (!count(1000, 10, false)) return false;
        if (n == 0) {
            error = "неисправности slow-flash нужен множитель не меньше 1";
            return false;
        }
        bench.moduleFaults.slowFlash = static_cast<double>(n);
    }
    return true;
}

} // namespace mrk
