#include "journal/NextNumber.h"

#include <cstdio>

#include "journal/JournalStore.h"
#include "journal/ProductionJournal.h"

namespace mrk::journal {

std::optional<uint16_t> NextFreeNumber(JournalStore& store, uint16_t from, uint16_t to) {
    if (from == 0 || from > to) return std::nullopt;
    // The range's first number when it is free, else the number after the lowest
    // reserved one (from there on) whose successor is free.
    const auto rows = store.Db().Query(
        "SELECT CASE WHEN NOT EXISTS (SELECT 1 FROM factory_numbers WHERE number = CAST(? AS INTEGER))"
        " THEN CAST(? AS INTEGER)"
        " ELSE (SELECT MIN(f.number) + 1 FROM factory_numbers f"
        "       WHERE f.number >= CAST(? AS INTEGER) AND f.number < CAST(? AS INTEGER)"
        "       AND NOT EXISTS (SELECT 1 FROM factory_numbers g WHERE g.number = f.number + 1)) END",
        {int64_t(from), int64_t(from), int64_t(from), int64_t(to)});
    if (rows.empty() || rows[0].empty() || !rows[0][0]) return std::nullopt;
    const long n = std::stol(*rows[0][0]);
    if (n < from || n > to) return std::nullopt;
    return static_cast<uint16_t>(n);
}

bool ParseNumberRange(const std::string& text, uint16_t& from, uint16_t& to) {
    unsigned a = 0, b = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), " %5u - %5u %n", &a, &b, &used) != 2 || used != static_cast<int>(text.size()))
        return false;
    for (char c : text)
        if (!(c == ' ' || c == '-' || (c >= '0' && c <= '9'))) return false;
    if (a < 1 || a > b || b > 65535) return false;
    from = static_cast<uint16_t>(a);
    to = static_cast<uint16_t>(b);
    return true;
}

std::optional<uint16_t> StartOnNextNumber(ProductionJournal& journal,
                                          const std::function<bool(uint16_t, std::string&)>& start, std::string& why) {
    why.clear();
    const int tries = journal.Settings().numbersTo - journal.Settings().numbersFrom + 1;
    for (int attempt = 0; attempt < tries; ++attempt) {
        const auto n = journal.NextNumber(why);
        if (!n) return std::nullopt;
        std::string refused;
        if (start(*n, refused)) return n;
        // Refused for the number's sake only when someone holds it now; otherwise the
        // refusal stands (the journal away, the settings wrong).
        std::string unused;
        const auto now = journal.NextNumber(unused);
        if (now && *now == *n) {
            why = refused;
            return std::nullopt;
        }
        why = refused;
    }
    return std::nullopt;
}

} // namespace mrk::journal
