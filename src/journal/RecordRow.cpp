#include "journal/RecordRow.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string_view>

namespace mrk::journal {

#define MRK_HEAD_COLUMNS_OF_VERSION_3                                                                        \
    "id, uid, kind, station, started_utc, ended_utc, programmer, chip, devid1, devid2, factory_number,"        \
    " module_number, image_name, image_sum1, image_sum2, boot_path, boot_sha256, config_hex, result, redo_of," \
    " conflict, sent, set_aside"
const char* const kHeadColumns = MRK_HEAD_COLUMNS_OF_VERSION_3 ", programmer_serial";
const char* const kHeadColumnsBefore = MRK_HEAD_COLUMNS_OF_VERSION_3 ", '' AS programmer_serial";
#undef MRK_HEAD_COLUMNS_OF_VERSION_3

namespace {

enum Col {
    kId, kUid, kKind, kStation, kStarted, kEnded, kProgrammer, kChip, kDev1, kDev2, kFactory, kModule, kImage,
    kSum1, kSum2, kBootPath, kBootSha, kConfig, kResult, kRedo, kConflict, kSent, kSetAside, kProgrammerSerial, kSteps,
    kColumns
};

bool BytesFromHex(std::string_view s, std::vector<uint8_t>& out) {
    out.clear();
    if (s.size() % 2) return false;
    for (size_t i = 0; i < s.size(); i += 2) {
        uint8_t b = 0;
        const auto r = std::from_chars(s.data() + i, s.data() + i + 2, b, 16);
        if (r.ec != std::errc() || r.ptr != s.data() + i + 2) return false;
        out.push_back(b);
    }
    return true;
}

std::optional<int64_t> CheckedInt(std::string_view text, int64_t lo, int64_t hi) {
    if (text.empty()) return std::nullopt;
    int64_t v = 0;
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, v);
    if (r.ec != std::errc() || r.ptr != end || v < lo || v > hi) return std::nullopt;
    return v;
}

// "step US ok US name" for each step, RS between steps; the vector's elements are reused.
bool ParseSteps(std::string_view s, std::vector<StepOutcome>& steps) {
    size_t n = 0;
    while (!s.empty()) {
        const size_t end = std::min(s.find('\x1e'), s.size());
        const std::string_view one = s.substr(0, end);
        s.remove_prefix(end == s.size() ? end : end + 1);
        const size_t a = one.find('\x1f'), b = a == one.npos ? a : one.find('\x1f', a + 1);
        if (b == one.npos) return false;
        const auto step = CheckedInt(one.substr(0, a), 0, 1000000);
        const auto ok = CheckedInt(one.substr(a + 1, b - a - 1), 0, 1);
        if (!step || !ok) return false;
        if (n == steps.size()) steps.emplace_back();
        StepOutcome& st = steps[n++];
        st.step = int(*step);
        st.name.assign(one.substr(b + 1));
        st.ok = *ok != 0;
    }
    steps.resize(n);
    return true;
}

void Set(std::string& to, const std::optional<std::string>& v) {
    if (v) to.assign(*v);
    else to.clear();
}

} // namespace

std::optional<int64_t> CheckedInt(const std::optional<std::string>& text, int64_t lo, int64_t hi) {
    if (!text) return std::nullopt;
    return CheckedInt(std::string_view(*text), lo, hi);
}

std::string HexBytes(const std::vector<uint8_t>& bytes) {
    std::string s;
    char b[3];
    for (uint8_t v : bytes) {
        std::snprintf(b, sizeof b, "%02X", v);
        s += b;
    }
    return s;
}

std::optional<JournalRecord> RecordFromRow(const SqlRow& r, std::string& error) {
    JournalRecord rec;
    if (!ReadRecord(r, rec, error)) return std::nullopt;
    return rec;
}

bool ReadRecord(const SqlRow& r, JournalRecord& rec, std::string& error) {
    if (r.size() < size_t(kSteps)) {
        error = "в строке базы меньше столбцов, чем в записи";
        return false;
    }
    const auto id = CheckedInt(r[kId], 1, INT64_MAX);
    Set(rec.uid, r[kUid]);
    // Said only when something is wrong: a long read of good records builds no messages.
    auto bad = [&](const char* column, const std::optional<std::string>& v) {
        error = "запись " + (id ? std::to_string(*id) : "?") + (rec.uid.empty() ? "" : " (" + rec.uid + ")") +
                ": неверное значение " + column + " '" + v.value_or("") + "'";
        return false;
    };
    if (!id) return bad("id", r[kId]);
    rec.id = *id;
    const auto kind = RunKindFromName(r[kKind].value_or(""));
    if (!kind) return bad("kind", r[kKind]);
    rec.kind = *kind;
    Set(rec.station, r[kStation]);
    Set(rec.startedUtc, r[kStarted]);
    Set(rec.endedUtc, r[kEnded]);
    Set(rec.programmer, r[kProgrammer]);
    Set(rec.programmerSerial, r[kProgrammerSerial]);
    Set(rec.chip, r[kChip]);
    const auto d1 = CheckedInt(r[kDev1], 0, 255), d2 = CheckedInt(r[kDev2], 0, 255);
    if (!d1) return bad("devid1", r[kDev1]);
    if (!d2) return bad("devid2", r[kDev2]);
    rec.devId1 = uint8_t(*d1);
    rec.devId2 = uint8_t(*d2);
    rec.factoryNumber.reset();
    if (r[kFactory]) {
        const auto n = CheckedInt(r[kFactory], 0, 65535);
        if (!n) return bad("factory_number", r[kFactory]);
        rec.factoryNumber = uint16_t(*n);
    }
    rec.moduleNumber.reset();
    if (r[kModule]) {
        const auto n = CheckedInt(r[kModule], 0, 0xFFFFFFFFll);
        if (!n) return bad("module_number", r[kModule]);
        rec.moduleNumber = uint32_t(*n);
    }
    Set(rec.imageName, r[kImage]);
    const auto s1 = CheckedInt(r[kSum1], 0, 255), s2 = CheckedInt(r[kSum2], 0, 255);
    if (!s1) return bad("image_sum1", r[kSum1]);
    if (!s2) return bad("image_sum2", r[kSum2]);
    rec.imageSum1 = uint8_t(*s1);
    rec.imageSum2 = uint8_t(*s2);
    Set(rec.bootPath, r[kBootPath]);
    Set(rec.bootSha256, r[kBootSha]);
    if (!BytesFromHex(r[kConfig] ? std::string_view(*r[kConfig]) : std::string_view(), rec.config))
        return bad("config_hex", r[kConfig]);
    Set(rec.result, r[kResult]);
    rec.redoOf = r[kRedo];
    rec.conflict = r[kConflict];
    rec.sent = CheckedInt(r[kSent], 0, 1).value_or(0) != 0;
    Set(rec.setAside, r[kSetAside]);
    rec.log.clear();
    if (r.size() <= size_t(kSteps) || !r[kSteps]) rec.steps.clear();
    else if (!ParseSteps(*r[kSteps], rec.steps)) return bad("steps", r[kSteps]);
    return true;
}

} // namespace mrk::journal
