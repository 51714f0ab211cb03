#include "journal/CsvExport.h"

#include <algorithm>
#include <charconv>

#include "core/FileBytes.h"

namespace mrk::journal {

namespace {

constexpr std::string_view kHeader =
    "\xEF\xBB\xBF"
    "id,kind,station,started_utc,ended_utc,result,factory_number,module_number,chip,devid1,devid2,"
    "programmer,programmer_serial,image,image_sum1,image_sum2,boot_path,boot_sha256,config,steps,redo_of,uid\r\n";

// A leading sign would make a spreadsheet take the field for a formula.
bool LooksLikeFormula(std::string_view s) {
    return !s.empty() && (s[0] == '=' || s[0] == '+' || s[0] == '-' || s[0] == '@');
}

void AppendNumber(std::string& out, uint64_t v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

// Capital hex digits, zero-padded to width.
void AppendHex(std::string& out, uint32_t v, int width) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (int shift = (width - 1) * 4; shift >= 0; shift -= 4) out += kDigits[(v >> shift) & 0xF];
}

} // namespace

void AppendCsvField(std::string& out, std::string_view s) {
    const bool formula = LooksLikeFormula(s);
    const bool plain = std::none_of(s.begin(), s.end(), [](char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; });
    if (!formula && plain) {
        out += s;
        return;
    }
    out += '"';
    if (formula) out += '\'';
    for (size_t at = 0;;) {
        const size_t q = s.find('"', at);
        if (q == std::string_view::npos) {
            out.append(s.substr(at));
            break;
        }
        out.append(s.substr(at, q + 1 - at));
        out += '"';
        at = q + 1;
    }
    out += '"';
}

std::string CsvField(const std::string& s) {
    std::string out;
    AppendCsvField(out, s);
    return out;
}

void AppendStepsSummary(std::string& out, const JournalRecord& r) {
    bool first = true;
    for (const auto& st : r.steps) {
        if (!first) out += ' ';
        first = false;
        if (st.step < 0) out += '-';
        AppendNumber(out, uint64_t(st.step < 0 ? -int64_t(st.step) : st.step));
        out += st.ok ? ":ok" : ":X";
    }
}

std::string StepsSummary(const JournalRecord& r) {
    std::string s;
    AppendStepsSummary(s, r);
    return s;
}

void WriteCsvHeader(std::ostream& out) { out << kHeader; }

void AppendCsvRow(std::string& out, const JournalRecord& r) {
    // The texts that came from outside go through AppendCsvField; the fields this
    // program makes (numbers, hex, steps) never need quotes.
    auto text = [&](std::string_view v) {
        AppendCsvField(out, v);
        out += ',';
    };
    auto hex = [&](uint32_t v, int width) {
        AppendHex(out, v, width);
        out += ',';
    };
    AppendNumber(out, uint64_t(r.id));
    out += ',';
    text(RunKindName(r.kind));
    text(r.station);
    text(r.startedUtc);
    text(r.endedUtc);
    // The result as stored: spreadsheets and scripts compare it with "OK" and "X".
    text(r.result.empty() ? std::string_view("не закончена") : std::string_view(r.result));
    if (r.factoryNumber) AppendNumber(out, *r.factoryNumber);
    out += ',';
    if (r.moduleNumber) AppendHex(out, *r.moduleNumber, 8);
    out += ',';
    text(r.chip);
    hex(r.devId1, 2);
    hex(r.devId2, 2);
    text(r.programmer);
    text(r.programmerSerial);
    text(r.imageName);
    hex(r.imageSum1, 2);
    hex(r.imageSum2, 2);
    text(r.bootPath);
    text(r.bootSha256);
    for (size_t i = 0; i < r.config.size(); ++i) {
        if (i) out += ' ';
        AppendHex(out, r.config[i], 2);
    }
    out += ',';
    AppendStepsSummary(out, r);
    out += ',';
    text(r.redoOf ? std::string_view(*r.redoOf) : std::string_view());
    AppendCsvField(out, r.uid);
    out += "\r\n";
}

void WriteCsvRow(std::ostream& out, const JournalRecord& r) {
    std::string line;
    AppendCsvRow(line, r);
    out << line;
}

CsvFileResult WriteCsvFile(JournalStore& store, const ListFilter& f, const std::string& path,
                           const std::function<void(const std::string&)>& bad) {
    CsvFileResult out;
    int err = 0;
    out.written = ReplaceFileWith(
        path,
        [&](const ByteWriter& write) {
            constexpr size_t kPiece = 1 << 16;
            std::string buf;
            buf.reserve(kPiece + 4096);
            buf += kHeader;
            bool ok = true;
            try {
                store.Each(
                    f,
                    [&](const JournalRecord& r) {
                        AppendCsvRow(buf, r);
                        ++out.records;
                        // Out in pieces: the whole journal is never held at once
                        // (nor after a failed write, which fails the export).
                        if (buf.size() > kPiece) {
                            ok = ok && write(buf);
                            buf.clear();
                        }
                    },
                    [&](const std::string& why) {
                        ++out.skipped;
                        if (bad) bad(why);
                    });
            } catch (const std::exception& e) {
                out.error = e.what();
                return false;
            }
            return ok && write(buf);
        },
        err);
    if (!out.written && out.error.empty()) out.error = FileErrorText(err);
    return out;
}

} // namespace mrk::journal
