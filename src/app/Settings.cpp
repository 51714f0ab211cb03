#include "app/Settings.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

// SimpleIni as a header-only library, on plain bytes: values stay exactly as stored.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include "core/Context.h"
#include "core/FileBytes.h"
#include "core/Format.h"
#include "image/FileCommands.h"

namespace mrk {

namespace {

constexpr const char* kFormConfig = "FormConfig";
constexpr const char* kFormParam = "Form_Param";
constexpr const char* kDefaultPath = "c:\\";
constexpr long kDefaultAdrLpt = 888;

std::string ConfigKey(int k) { return "ConfigWrite[" + std::to_string(k) + "]"; }

void Configure(CSimpleIniA& ini) {
    ini.SetUnicode(false);  // bytes as they stand: paths stay exactly as typed
    ini.SetMultiKey(true);  // every line of a key kept, so that the first can win
    ini.SetMultiLine(false);
    ini.SetQuotes(false);
    ini.SetSpaces(false);   // "key=value", as the private-profile functions write it
}

// As the Windows ini reader takes an integer: decimal, or hexadecimal after "$"
// or "0x", with an optional sign, filling the whole value and fitting 32 bits.
bool ParseInteger(std::string_view s, long& out) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (!s.empty() && s.front() == '$') {
        base = 16;
        s.remove_prefix(1);
    } else if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty()) return false;
    long long v = 0;
    for (char c : s) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return false;
        v = v * base + d;
        if (v > 0xFFFFFFFFLL) return false;
    }
    if (negative) v = -v;
    if (base == 10 && (v > 0x7FFFFFFFLL || v < -0x80000000LL)) return false;
    out = static_cast<long>(static_cast<int32_t>(static_cast<uint32_t>(v)));
    return true;
}

// Windows reads a value without one pair of surrounding double quotes.
std::string Unquoted(std::string v) {
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') return v.substr(1, v.size() - 2);
    return v;
}

// The first value of a key in the file, as the private-profile functions find it.
std::optional<std::string> FirstValue(const CSimpleIniA& ini, const char* section, const char* key) {
    CSimpleIniA::TNamesDepend values;
    if (!ini.GetAllValues(section, key, values) || values.empty()) return std::nullopt;
    values.sort(CSimpleIniA::Entry::LoadOrder());
    return Unquoted(values.front().pItem);
}

long ReadInteger(const CSimpleIniA& ini, const char* section, const std::string& key, long def) {
    const auto v = FirstValue(ini, section, key.c_str());
    long n = 0;
    return v && ParseInteger(*v, n) ? n : def;
}

std::string ReadString(const CSimpleIniA& ini, const char* section, const char* key, const char* def) {
    return FirstValue(ini, section, key).value_or(def);
}

// The file's text, or nothing when there is none; false when something is
// there that is not a readable file (a folder, a pipe, a device, one too large
// for a settings file; *err says why): it is then neither trusted nor
// replaced by one holding only our keys.
bool ReadText(const std::string& path, std::string& text, int* why = nullptr) {
    text.clear();
    std::vector<uint8_t> bytes;
    int err = 0;
    if (!ReadRegularFile(path, bytes, err)) {
        if (why) *why = err;
        return err == ENOENT;
    }
    text.assign(bytes.begin(), bytes.end());
    // A NUL or a CR that ends no line would end a line for one reader and not
    // for another, and could bring a key to life behind a comment: both are
    // taken as spaces, by the reader and by the writer alike.
    for (size_t k = 0; k < text.size(); ++k)
        if (text[k] == '\0' || (text[k] == '\r' && (k + 1 == text.size() || text[k + 1] != '\n'))) text[k] = ' ';
    return true;
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y)); });
}

// The file as lines, changed the way WritePrivateProfileString changes it: the
// first line of a key in the first section of that name takes the new value;
// a key not there goes after the last entry of its section; a section not
// there goes at the end. Every other line stays as it was, line ends included.
class ProfileText {
public:
    explicit ProfileText(const std::string& text) {
        for (size_t pos = 0; pos < text.size();) {
            size_t next = text.find('\n', pos);
            next = next == std::string::npos ? text.size() : next + 1;
            lines_.push_back(text.substr(pos, next - pos));
            pos = next;
        }
        crlf_ = text.find("\r\n") != std::string::npos;
    }

    void Set(const std::string& section, const std::string& key, const std::string& value) {
        const std::string line = key + "=" + value + Eol();
        size_t k = 0;
        while (k < lines_.size() && !IsSection(lines_[k], section)) ++k;
        if (k == lines_.size()) {
            if (!lines_.empty() && lines_.back().back() != '\n') lines_.back() += Eol();
            if (!lines_.empty()) lines_.push_back(Eol());
            lines_.push_back("[" + section + "]" + Eol());
            lines_.push_back(line);
            return;
        }
        size_t lastEntry = k;
        for (++k; k < lines_.size() && !IsAnySection(lines_[k]); ++k) {
            const std::string_view t = Trimmed(lines_[k]);
            if (t.empty() || t.front() == ';' || t.front() == '#') continue;
            lastEntry = k;
            const size_t eq = t.find('=');
            if (eq != std::string_view::npos && SameName(Trimmed(t.substr(0, eq)), key)) {
                lines_[k] = line;
                return;
            }
        }
        if (lines_[lastEntry].back() != '\n') lines_[lastEntry] += Eol();
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(lastEntry + 1), line);
    }

    std::string Text() const {
        std::string out;
        for (const auto& l : lines_) out += l;
        return out;
    }

private:
    std::string Eol() const { return crlf_ ? "\r\n" : "\n"; }
    static bool IsAnySection(std::string_view line) {
        const std::string_view t = Trimmed(line);
        return !t.empty() && t.front() == '[' && t.find(']') != std::string_view::npos;
    }
    static bool IsSection(std::string_view line, std::string_view name) {
        if (!IsAnySection(line)) return false;
        const std::string_view t = Trimmed(line);
        return SameName(Trimmed(t.substr(1, t.find(']') - 1)), name);
    }
    std::vector<std::string> lines_;
    bool crlf_ = false;
};

// A value that would break its line would write lines of its own into the file.
bool FitsOneLine(const std::string& value) {
    return value.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

} // namespace

std::string IniPathFor(const std::string& currentDir, const std::string& programFile) {
    std::filesystem::path name = std::filesystem::path(programFile).filename();
    name.replace_extension(".ini");
    return (std::filesystem::path(currentDir) / name).string();
}

std::string ProgramFileName(const std::string& fallback) {
    // The name the program was started by (argv[0]), not the file a link leads
    // to: a link named upd reads upd.ini.
    std::ifstream cmdline("/proc/self/cmdline", std::ios::binary);
    std::string argv0;
    if (cmdline && std::getline(cmdline, argv0, '\0')) {
        const std::string name = std::filesystem::path(argv0).filename().string();
        if (!name.empty()) return name;
    }
    return std::filesystem::path(fallback).filename().string();
}

namespace {

// The file as the settings reader takes it; empty when it cannot be read (*err says why).
void LoadSettings(const std::string& iniPath, CSimpleIniA& ini, int& err) {
    Configure(ini);
    std::string text;
    err = 0;
    if (iniPath.empty() || !ReadText(iniPath, text, &err) || ini.LoadData(text) < 0) ini.Reset();
}

} // namespace

SettingsValues ReadSettingsFile(const std::string& iniPath) {
    CSimpleIniA ini;
    SettingsValues v;
    int err = 0;
    LoadSettings(iniPath, ini, err);
    if (err == EFBIG)
        v.problem = Format("Файл настроек %s не прочитан (%s): взяты значения по умолчанию.", iniPath.c_str(),
                           FileErrorText(err).c_str());
    for (int k = 0; k < 14; ++k)
        v.ConfigWrite[static_cast<size_t>(k)] = static_cast<uint8_t>(ReadInteger(ini, kFormConfig, ConfigKey(k), 0));
    v.UpdatePath = ReadString(ini, kFormParam, "Edit1", kDefaultPath);
    v.BootPath4620 = ReadString(ini, kFormParam, "Edit2", kDefaultPath);
    v.BootPath452 = ReadString(ini, kFormParam, "Edit5", kDefaultPath);
    v.ConfigChip = static_cast<uint16_t>(ReadInteger(ini, kFormParam, "ConfigChip", 0));
    v.AdrLpt = static_cast<uint16_t>(ReadInteger(ini, kFormParam, "AdrLpt", kDefaultAdrLpt));
    return v;
}

void ApplySettings(Context& ctx, const SettingsValues& v) {
    ctx.image.ConfigWrite = v.ConfigWrite;
    ctx.image.UpdatePath = v.UpdatePath;
    ctx.image.BootPath4620 = v.BootPath4620;
    ctx.image.BootPath452 = v.BootPath452;
    ctx.commands.ConfigChip = v.ConfigChip;
    ctx.portProg.AdrLpt = v.AdrLpt;
}

SettingsSection ReadSettingsSection(const std::string& iniPath, const std::string& section) {
    CSimpleIniA ini;
    int err = 0;
    LoadSettings(iniPath, ini, err);
    SettingsSection values;
    CSimpleIniA::TNamesDepend keys;
    ini.GetAllKeys(section.c_str(), keys);
    for (const auto& key : keys)
        if (auto v = FirstValue(ini, section.c_str(), key.pItem)) values.emplace(key.pItem, std::move(*v));
    return values;
}

journal::JournalSettings JournalSettingsOf(const std::string& iniPath, const journal::JournalPlace& place) {
    return journal::ReadJournalSettings(ReadSettingsSection(iniPath, journal::kJournalSection), iniPath, place);
}

void ReadSettings(Context& ctx) {
    const SettingsValues v = ReadSettingsFile(ctx.commands.IniPath);
    if (!v.problem.empty()) ctx.host.Okno(v.problem);
    ApplySettings(ctx, v);
}

SettingsWriteOutcome WriteSettingsAtClose(Context& ctx) {
    if (ctx.commands.Obnovl || ctx.commands.IniPath.empty()) return {};
    const std::string& path = ctx.commands.IniPath;
    auto lost = [&](SettingsWrite result, const std::string& why) {
        return SettingsWriteOutcome{result, Format("Настройки не сохранены: файл настроек %s %s.", path.c_str(),
                                                   why.c_str())};
    };
    std::string old;
    int err = 0;
    if (!ReadText(path, old, &err)) return lost(SettingsWrite::Failed, "не прочитан (" + FileErrorText(err) + ")");
    const bool exists = err != ENOENT;
    ProfileText file(old);
    auto put = [&](const char* section, const std::string& key, const std::string& value) {
        if (FitsOneLine(value)) file.Set(section, key, value);
    };
    if (UpperExtension(ctx.image.UpdatePath) == ".BIN")
        for (int k = 0; k < 14; ++k)
            put(kFormConfig, ConfigKey(k), std::to_string(ctx.image.ConfigWrite[static_cast<size_t>(k)]));
    put(kFormParam, "Edit1", ctx.image.UpdatePath);
    put(kFormParam, "Edit2", ctx.image.BootPath4620);
    put(kFormParam, "Edit5", ctx.image.BootPath452);
    put(kFormParam, "AdrLpt", std::to_string(ctx.portProg.AdrLpt));
    const std::string text = file.Text();
    if (exists && text == old) return {SettingsWrite::Unchanged, {}};
    // A file made read-only (or another user's) is kept as its owner left it:
    // the rename below would replace it all the same. Without any write bit it
    // is read-only for the administrator too.
    struct stat st {};
    if (exists && ((access(path.c_str(), W_OK) != 0 && errno == EACCES) ||
                   (stat(path.c_str(), &st) == 0 && (st.st_mode & 0222) == 0)))
        return lost(SettingsWrite::ReadOnly, "только для чтения");
    // Through a new file beside it (a link is written where it points).
    if (!ReplaceFile(path, text, err)) return lost(SettingsWrite::Failed, "не записан (" + FileErrorText(err) + ")");
    return {SettingsWrite::Written, {}};
}

} // namespace mrk
