#include "journal/JournalSettings.h"

#include <unistd.h>

#include <filesystem>

#include "journal/NextNumber.h"
#include "journal/RecordRow.h"

namespace mrk::journal {

namespace {

// Whether the text is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsUtf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : 9;
        if (n == 9 || (n == 1 && c < 0xC2) || (n > 0 && i + n >= s.size())) return false;
        uint32_t cp = n == 0 ? c : c & (0x3F >> n);
        for (size_t k = 1; k <= n; ++k) {
            const unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = cp << 6 | (cc & 0x3F);
        }
        if ((n == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        i += n + 1;
    }
    return true;
}

} // namespace

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || !name[0]) return "station";
    return name;
}

JournalSettings ReadJournalSettings(const SettingsSection& section, const std::string& settingsFile,
                                    const JournalPlace& place) {
    JournalSettings s;
    auto get = [&](const char* key) -> std::string {
        const auto found = section.find(key);
        std::string v = found == section.end() ? std::string() : found->second;
        // The server stores text as UTF-8 and refuses anything else, a record at a time.
        if (!IsUtf8(v) && s.problem.empty())
            s.problem = std::string("[") + kJournalSection + "] " + key +
                        "= в файле настроек не в кодировке UTF-8 (сохранён в другой?): сохраните файл в UTF-8";
        return v;
    };
    s.station = get("Station");
    if (s.station.empty() || !IsUtf8(s.station)) s.station = HostName();
    s.server = get("Server");
    s.file = get("File");
    namespace fs = std::filesystem;
    const fs::path folder = place.relativeBase.empty() ? fs::path(settingsFile).parent_path() : fs::path(place.relativeBase);
    const fs::path byDefault = place.defaultFile.empty() ? folder / kDefaultJournalFile : fs::path(place.defaultFile);
    std::error_code ec;
    s.folderBase = folder.string();
    // Training on the bench never reaches the line's numbers, unless the settings say so.
    if (place.bench && get("Bench") != "1") {
        s.file = (byDefault.parent_path() / "bench" / kDefaultJournalFile).string();
        s.folderToMake = (byDefault.parent_path() / "bench").string();
        s.server.clear();
        s.bench = true;
    } else if (s.file.empty()) {
        if (!place.legacyFile.empty() && !fs::exists(byDefault, ec) && fs::exists(place.legacyFile, ec)) {
            s.file = place.legacyFile;
        } else {
            s.file = byDefault.string();
            s.folderToMake = byDefault.parent_path().string();
        }
    } else if (fs::path(s.file).is_relative()) {
        s.file = (folder / s.file).string();
    }
    const std::string enabled = get("Enabled");
    s.enabled = enabled.empty() || enabled != "0";
    const std::string numbers = get("Numbers");
    if (!numbers.empty() && !ParseNumberRange(numbers, s.numbersFrom, s.numbersTo)) {
        s.numbersFrom = s.numbersTo = 0;
        if (s.problem.empty())
            s.problem = std::string("[") + kJournalSection + "] Numbers= должно быть диапазоном номеров ОТ-ДО, "
                        "от 1 до 65535 (например 1000-1999); указано " + numbers;
    }
    const std::string timeout = get("Timeout");
    if (!timeout.empty()) {
        const auto t = CheckedInt(timeout, 1, 120);
        if (t) s.timeoutSeconds = int(*t);
        else if (s.problem.empty())
            s.problem = std::string("[") + kJournalSection + "] Timeout= должно быть числом секунд от 1 до 120";
    }
    return s;
}

} // namespace mrk::journal
