#include "journal/RecordRow.h"

#include <charconv>
#include <cstdio>

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

std::optional<std::vector<uint8_t>> BytesFromHex(const std::string& s) {
    if (s.size() % 2) return std::nullopt;
    std::vector<uint8_t> out;
    for (size_t i = 0; i < s.size(); i += 2) {
        uint8_t b = 0;
        const auto r = std::from_chars(s.data() + i, s.data() + i + 2, b, 16);
        if (r.ec != std::errc() || r.ptr != s.data() + i + 2) return std::nullopt;
        out.push_back(b);
    }
    return out;
}

// "step US ok US name" for each step, RS between steps.
bool ParseSteps(const std::string& s, std::vector<StepOutcome>& steps) {
    size_t at = 0;
    while (at < s.size()) {
        size_t end = s.find('\x1e', at);
        if (end == std::string::npos) end = s.size();
        const std::string one = s.substr(at, end - at);
        const size_t a = one.find('\x1f'), b = a == std::string::npos ? a : one.find('\x1f', a + 1);
        if (b == std::string::npos) return false;
        const auto step = CheckedInt(one.substr(0, a), 0, 1000000);
        const auto ok = CheckedInt(one.substr(a + 1, b - a - 1), 0, 1);
        if (!step || !ok) return false;
        steps.push_back({int(*step), one.substr(b + 1), *ok != 0});
        at = end + 1;
    }
    return true;
}

} // namespace

std::optional<int64_t> CheckedInt(const std::optional<std::string>& text, int64_t lo, int64_t hi) {
    if (!text || text->empty()) return std::nullopt;
    int64_t v = 0;
    const char* end = text->data() + text->size();
    const auto r = std::from_chars(text->data(), end, v);
    if (r.ec != std::errc() || r.ptr != end || v < lo || v > hi) return std::nullopt;
    return v;
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
    if (r.size() < size_t(kSteps)) {
        error = "a row with too few columns";
        return std::nullopt;
    }
    JournalRecord rec;
    const auto id = CheckedInt(r[kId], 1, INT64_MAX);
    rec.uid = r[kUid].value_or("");
    const std::string name = "record " + (id ? std::to_string(*id) : "?") + (rec.uid.empty() ? "" : " (" + rec.uid + ")");
    auto bad = [&](const char* column, const std::optional<std::string>& v) {
        error = name + ": " + column + " '" + v.value_or("") + "' is not valid";
        return std::nullopt;
    };
    if (!id) return bad("id", r[kId]);
    rec.id = *id;
    const auto kind = RunKindFromName(r[kKind].value_or(""));
    if (!kind) return bad("kind", r[kKind]);
    rec.kind = *kind;
    rec.station = r[kStation].value_or("");
    rec.startedUtc = r[kStarted].value_or("");
    rec.endedUtc = r[kEnded].value_or("");
    rec.programmer = r[kProgrammer].value_or("");
    rec.programmerSerial = r[kProgrammerSerial].value_or("");
    rec.chip = r[kChip].value_or("");
    const auto d1 = CheckedInt(r[kDev1], 0, 255), d2 = CheckedInt(r[kDev2], 0, 255);
    if (!d1) return bad("devid1", r[kDev1]);
    if (!d2) return bad("devid2", r[kDev2]);
    rec.devId1 = uint8_t(*d1);
    rec.devId2 = uint8_t(*d2);
    if (r[kFactory]) {
        const auto n = CheckedInt(r[kFactory], 0, 65535);
        if (!n) return bad("factory_number", r[kFactory]);
        rec.factoryNumber = uint16_t(*n);
    }
    if (r[kModule]) {
        const auto n = CheckedInt(r[kModule], 0, 0xFFFFFFFFll);
        if (!n) return bad("module_number", r[kModule]);
        rec.moduleNumber = uint32_t(*n);
    }
    rec.imageName = r[kImage].value_or("");
    const auto s1 = CheckedInt(r[kSum1], 0, 255), s2 = CheckedInt(r[kSum2], 0, 255);
    if (!s1) return bad("image_sum1", r[kSum1]);
    if (!s2) return bad("image_sum2", r[kSum2]);
    rec.imageSum1 = uint8_t(*s1);
    rec.imageSum2 = uint8_t(*s2);
    rec.bootPath = r[kBootPath].value_or("");
    rec.bootSha256 = r[kBootSha].value_or("");
    const auto config = BytesFromHex(r[kConfig].value_or(""));
    if (!config) return bad("config_hex", r[kConfig]);
    rec.config = *config;
    rec.result = r[kResult].value_or("");
    rec.redoOf = r[kRedo];
    rec.conflict = r[kConflict];
    rec.sent = CheckedInt(r[kSent], 0, 1).value_or(0) != 0;
    rec.setAside = r[kSetAside].value_or("");
    if (r.size() > size_t(kSteps) && r[kSteps] && !ParseSteps(*r[kSteps], rec.steps)) return bad("steps", r[kSteps]);
    return rec;
}

} // namespace mrk::journal
