#include "journal/JournalSettings.h"

#include <unistd.h>

// Keys and values are read raw, as the settings file holds them.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <filesystem>
#include <vector>

#include "core/FileBytes.h"

namespace mrk::journal {

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || !name[0]) return "station";
    return name;
}

JournalSettings ReadJournalSettings(const std::string& settingsFile) {
    JournalSettings s;
    CSimpleIniA ini;
    ini.SetUnicode(true);
    // Through the project's reader: a settings file too large (or a pipe) is not read.
    std::vector<uint8_t> bytes;
    int err = 0;
    const bool read = !settingsFile.empty() && ReadRegularFile(settingsFile, bytes, err) &&
                      ini.LoadData(reinterpret_cast<const char*>(bytes.data()), bytes.size()) >= 0;
    auto get = [&](const char* key) -> std::string {
        return read ? ini.GetValue(kJournalSection, key, "") : "";
    };
    s.station = get("Station");
    if (s.station.empty()) s.station = HostName();
    s.server = get("Server");
    s.file = get("File");
    const auto folder = std::filesystem::path(settingsFile).parent_path();
    if (s.file.empty()) s.file = (folder / kDefaultJournalFile).string();
    else if (std::filesystem::path(s.file).is_relative()) s.file = (folder / s.file).string();
    const std::string enabled = get("Enabled");
    s.enabled = enabled.empty() || enabled != "0";
    return s;
}

} // namespace mrk::journal
