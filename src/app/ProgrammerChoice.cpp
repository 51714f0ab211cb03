#include "app/ProgrammerChoice.h"

#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include "core/Context.h"
#include "core/FileBytes.h"
#include "transport/SurtanChoice.h"

namespace mrk {

std::string ProgrammerSerialSetting(const std::string& iniPath) {
    std::vector<uint8_t> bytes;
    int err = 0;
    // Through the project's reader: a file too large, a folder or a pipe is not read.
    if (iniPath.empty() || !ReadRegularFile(iniPath, bytes, err)) return {};
    CSimpleIniA ini;
    ini.SetUnicode(false);
    if (ini.LoadData(reinterpret_cast<const char*>(bytes.data()), bytes.size()) < 0) return {};
    std::string v = ini.GetValue(kProgrammerSection, kProgrammerSerialKey, "");
    // A serial number has no spaces; what surrounds it in the file is not part of it.
    const auto first = v.find_first_not_of(" \t\"");
    const auto last = v.find_last_not_of(" \t\"");
    return first == std::string::npos ? std::string() : v.substr(first, last - first + 1);
}

const std::vector<std::string>& BenchSurtanSerials() {
    static const std::vector<std::string> serials = {"VRT00001", "VRT00002", "VRT00003", "VRT00004"};
    return serials;
}

std::string ModuleFileFor(const std::string& pattern, const std::string& serial) {
    std::string out = pattern;
    const std::string mark = kSerialPlaceholder;
    for (auto at = out.find(mark); at != std::string::npos; at = out.find(mark, at + serial.size()))
        out.replace(at, mark.size(), serial);
    return out;
}

std::string ChosenSurtanProblem(Context& ctx) {
    const std::string wanted = ChosenSurtan(ctx.surtan);
    if (wanted.empty()) return {};
    std::string error;
    const auto devices = ListFtdiDevices(ctx.surtan, error);
    std::string attached;
    for (const auto& d : devices) {
        if (d.description != ctx.d2xx.FtDeviceDesc) continue;
        if (d.serial == wanted) return {};
        attached += (attached.empty() ? "" : ", ") + (d.serial.empty() ? std::string("без номера") : d.serial);
    }
    std::string why = "Программатор " + ctx.d2xx.FtDeviceDesc + " с серийным номером " + wanted + " не подключен";
    if (!error.empty()) return why + " (" + error + ")";
    if (attached.empty()) return why + " (к USB не подключено ни одного программатора " + ctx.d2xx.FtDeviceDesc + ")";
    return why + " (подключены: " + attached + "; список: mrkprog programmers)";
}

} // namespace mrk
