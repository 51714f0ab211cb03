#include "journal/CsvExport.h"

#include <cstdio>
#include <sstream>

#include "core/FileBytes.h"
#include "journal/ProductionJournal.h"

namespace mrk::journal {

std::string CsvField(const std::string& s) {
    bool quote = s.find_first_of(",\"\r\n") != std::string::npos;
    // A leading sign would make a spreadsheet take the field for a formula.
    if (!s.empty() && (s[0] == '=' || s[0] == '+' || s[0] == '-' || s[0] == '@')) quote = true;
    if (!quote) return s;
    std::string out = "\"";
    if (s[0] == '=' || s[0] == '+' || s[0] == '-' || s[0] == '@') out += '\'';
    for (char c : s) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string StepsSummary(const JournalRecord& r) {
    std::string s;
    for (const auto& st : r.steps) {
        if (!s.empty()) s += ' ';
        s += std::to_string(st.step) + (st.ok ? ":ok" : ":X");
    }
    return s;
}

void WriteCsvHeader(std::ostream& out) {
    out << "\xEF\xBB\xBF"
        << "id,kind,station,started_utc,ended_utc,result,factory_number,module_number,chip,devid1,devid2,"
           "programmer,programmer_serial,image,image_sum1,image_sum2,boot_path,boot_sha256,config,steps,redo_of,uid\r\n";
}

void WriteCsvRow(std::ostream& out, const JournalRecord& r) {
    char mod[16] = "", d1[8], d2[8], s1[8], s2[8];
    if (r.moduleNumber) std::snprintf(mod, sizeof mod, "%08X", *r.moduleNumber);
    std::snprintf(d1, sizeof d1, "%02X", r.devId1);
    std::snprintf(d2, sizeof d2, "%02X", r.devId2);
    std::snprintf(s1, sizeof s1, "%02X", r.imageSum1);
    std::snprintf(s2, sizeof s2, "%02X", r.imageSum2);
    std::string config;
    for (uint8_t b : r.config) {
        char h[4];
        std::snprintf(h, sizeof h, "%s%02X", config.empty() ? "" : " ", b);
        config += h;
    }
    const std::string fields[] = {std::to_string(r.id),
                                  RunKindName(r.kind),
                                  r.station,
                                  r.startedUtc,
                                  r.endedUtc,
                                  ResultText(r),
                                  r.factoryNumber ? std::to_string(*r.factoryNumber) : "",
                                  mod,
                                  r.chip,
                                  d1,
                                  d2,
                                  r.programmer,
                                  r.programmerSerial,
                                  r.imageName,
                                  s1,
                                  s2,
                                  r.bootPath,
                                  r.bootSha256,
                                  config,
                                  StepsSummary(r),
                                  r.redoOf.value_or(""),
                                  r.uid};
    bool first = true;
    for (const auto& f : fields) {
        if (!first) out << ',';
        first = false;
        out << CsvField(f);
    }
    out << "\r\n";
}

CsvFileResult WriteCsvFile(JournalStore& store, const ListFilter& f, const std::string& path,
                           const std::function<void(const std::string&)>& bad) {
    CsvFileResult out;
    int err = 0;
    out.written = ReplaceFileWith(
        path,
        [&](const ByteWriter& write) {
            std::ostringstream buf;
            WriteCsvHeader(buf);
            bool ok = true;
            try {
                store.Each(
                    f,
                    [&](const JournalRecord& r) {
                        WriteCsvRow(buf, r);
                        ++out.records;
                        // Out in pieces: the whole journal is never held at once.
                        if (ok && buf.tellp() > 1 << 16) {
                            ok = write(buf.str());
                            buf.str({});
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
            return ok && write(buf.str());
        },
        err);
    if (!out.written && out.error.empty()) out.error = FileErrorText(err);
    return out;
}

} // namespace mrk::journal
