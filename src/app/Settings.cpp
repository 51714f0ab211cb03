#include "app/Settings.h"


#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <utility>
#include <vector>

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
    ini.SetMultiKey(false);
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

long ReadInteger(const CSimpleIniA& ini, const char* section, const std::string& key, long def) {
    const char* v = ini.GetValue(section, key.c_str(), nullptr);
    long n = 0;
    return v && ParseInteger(v, n) ? n : def;
}

std::string ReadString(const CSimpleIniA& ini, const char* section, const char* key, const char* def) {
    const char* v = ini.GetValue(section, key, nullptr);
    return v ? std::string(v) : std::string(def);
}

// The whole file; true with empty text when there is none, false when a file
// is there but cannot be read (it is then left alone rather than replaced by
// one holding only our keys).
bool ReadWholeFile(const std::string& path, std::string& text) {
    text.clear();
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found) return true;
    if (ec || status.type() != std::filesystem::file_type::regular) return false;
    std::vector<uint8_t> bytes;
    if (int err = 0; !ReadRegularFile(path, bytes, err)) return false;
    text.assign(bytes.begin(), bytes.end());
    return true;
}

// Comment lines after the last key or section: SimpleIni keeps a comment only
// with the key or section it stands before (and the file's first block), so the
// others are put back at the end.
std::string TrailingComments(const std::string& text) {
    enum class Kind { Blank, Comment, Other };
    std::vector<std::pair<size_t, Kind>> lines; // start offset, kind
    for (size_t pos = 0; pos < text.size();) {
        size_t next = text.find('\n', pos);
        next = next == std::string::npos ? text.size() : next + 1;
        const size_t first = text.find_first_not_of(" \t\r\n", pos);
        Kind kind = Kind::Other;
        if (first == std::string::npos || first >= next) kind = Kind::Blank;
        else if (text[first] == ';' || text[first] == '#') kind = Kind::Comment;
        lines.emplace_back(pos, kind);
        pos = next;
    }
    size_t from = lines.size();
    while (from > 0 && lines[from - 1].second != Kind::Other) --from;
    if (from == 0) {
        // Nothing but comments: the first block is the file's comment, kept already.
        while (from < lines.size() && lines[from].second == Kind::Comment) ++from;
    }
    bool anyComment = false;
    for (size_t k = from; k < lines.size(); ++k) anyComment = anyComment || lines[k].second == Kind::Comment;
    if (!anyComment) return {};
    const std::string tail = text.substr(lines[from].first);
    return "\n" + tail + (tail.back() == '\n' ? "" : "\n");
}

} // namespace

std::string IniPathFor(const std::string& currentDir, const std::string& programFile) {
    std::filesystem::path name = std::filesystem::path(programFile).filename();
    name.replace_extension(".ini");
    return (std::filesystem::path(currentDir) / name).string();
}

std::string ProgramFileName(const std::string& fallback) {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || exe.filename().empty()) return std::filesystem::path(fallback).filename().string();
    return exe.filename().string();
}

SettingsValues ReadSettingsFile(const std::string& iniPath) {
    CSimpleIniA ini;
    Configure(ini);
    SettingsValues v;
    std::vector<uint8_t> bytes;
    int err = 0;
    if (iniPath.empty() || !ReadRegularFile(iniPath, bytes, err) ||
        ini.LoadData(reinterpret_cast<const char*>(bytes.data()), bytes.size()) < 0)
        ini.Reset();
    if (err == EFBIG)
        v.problem = Format("Файл настроек %s не прочитан (%s): взяты значения по умолчанию.", iniPath.c_str(),
                           FileErrorText(err).c_str());
    for (int k = 0; k < 14; ++k)
        v.ConfigWrite[static_cast<size_t>(k)] = static_cast<uint8_t>(ReadInteger(ini, kFormConfig, ConfigKey(k), 0));
    v.Edit1 = ReadString(ini, kFormParam, "Edit1", kDefaultPath);
    v.Edit2 = ReadString(ini, kFormParam, "Edit2", kDefaultPath);
    v.Edit5 = ReadString(ini, kFormParam, "Edit5", kDefaultPath);
    v.ConfigChip = static_cast<uint16_t>(ReadInteger(ini, kFormParam, "ConfigChip", 0));
    v.AdrLpt = static_cast<uint16_t>(ReadInteger(ini, kFormParam, "AdrLpt", kDefaultAdrLpt));
    return v;
}

void ApplySettings(Context& ctx, const SettingsValues& v) {
    ctx.image.ConfigWrite = v.ConfigWrite;
    ctx.image.Edit1 = v.Edit1;
    ctx.image.Edit2 = v.Edit2;
    ctx.image.Edit5 = v.Edit5;
    ctx.commands.ConfigChip = v.ConfigChip;
    ctx.portProg.AdrLpt = v.AdrLpt;
}

void ReadSettings(Context& ctx) {
    const SettingsValues v = ReadSettingsFile(ctx.commands.IniPath);
    if (!v.problem.empty()) ctx.host.Okno(v.problem);
    ApplySettings(ctx, v);
}

bool WriteSettingsAtClose(Context& ctx) {
    if (ctx.commands.Obnovl || ctx.commands.IniPath.empty()) return false;
    // A settings file that is a link is written where it points, and stays a link.
    std::string path = ctx.commands.IniPath;
    std::error_code ec;
    if (std::filesystem::is_symlink(path, ec)) {
        const auto target = std::filesystem::weakly_canonical(path, ec);
        if (ec) return false;
        path = target.string();
    }
    std::string old;
    if (!ReadWholeFile(path, old)) return false;
    CSimpleIniA ini;
    Configure(ini);
    if (!old.empty() && ini.LoadData(old) < 0) return false;
    if (UpperExtension(ctx.image.Edit1) == ".BIN")
        for (int k = 0; k < 14; ++k)
            ini.SetLongValue(kFormConfig, ConfigKey(k).c_str(), ctx.image.ConfigWrite[static_cast<size_t>(k)]);
    ini.SetValue(kFormParam, "Edit1", ctx.image.Edit1.c_str());
    ini.SetValue(kFormParam, "Edit2", ctx.image.Edit2.c_str());
    ini.SetValue(kFormParam, "Edit5", ctx.image.Edit5.c_str());
    ini.SetLongValue(kFormParam, "AdrLpt", ctx.portProg.AdrLpt);
    std::string text;
    if (ini.Save(text) < 0) return false;
    text += TrailingComments(old);
    int err = 0;
    return ReplaceFile(path, text, err);
}

} // namespace mrk
