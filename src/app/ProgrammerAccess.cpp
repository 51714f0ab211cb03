#include "app/ProgrammerAccess.h"

#include "core/Context.h"
#include "core/Format.h"
#include "transport/D2XXUnit.h"

namespace mrk {

namespace {

std::string LptReason(const Context& ctx) {
    const auto& dp = ctx.directPort;
    if (dp.backend) return dp.backend->Describe() + ": программатор Kordel не отвечает";
    std::string why = dp.openReport.empty() ? "порт не открывался" : dp.openReport;
    // One line per attempt (ppdev, then raw port I/O) reads as one sentence here.
    for (auto at = why.find('\n'); at != std::string::npos; at = why.find('\n', at)) why.replace(at, 1, "; ");
    return "порт не открыт: " + why;
}

std::string UsbReason(const Context& ctx) {
    const auto& d = ctx.d2xx;
    if (const std::string why = ctx.surtan.Problem(); !why.empty()) return why;
    if (!d.device) return "драйвер USB не загружен";
    if (d.FtDevCount == 0) return "устройств FTDI не найдено (Surtan не подключен к USB)";
    return Format("устройств FTDI: %u, ни одно не описано как \"%s\"", d.FtDevCount, d.FtDeviceDesc.c_str());
}

} // namespace

std::vector<std::string> ProgrammerAccessReport(const Context& ctx) {
    if (ctx.ind.CheckBox1 || ctx.ind.CheckUSB) return {};
    return {"LPT: " + LptReason(ctx), "USB: " + UsbReason(ctx)};
}

} // namespace mrk
