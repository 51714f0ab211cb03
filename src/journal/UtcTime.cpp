#include "journal/UtcTime.h"

#include <chrono>
#include <ctime>
#include <cstdio>
#include <regex>

namespace mrk::journal {

std::optional<std::string> ParseUtcTime(const std::string& text, bool dayEnd) {
    static const std::regex kForm(
        R"((\d{4})-(\d{2})-(\d{2})(?:[T ](\d{2}):(\d{2})(?::(\d{2}))?)?(Z|([+-])(\d{2}):?(\d{2}))?)");
    std::smatch m;
    if (!std::regex_match(text, m, kForm)) return std::nullopt;
    auto num = [&](int i) { return m[i].matched ? std::stoi(m[i].str()) : 0; };
    using namespace std::chrono;
    const year_month_day day{year{num(1)}, month{unsigned(num(2))}, std::chrono::day{unsigned(num(3))}};
    const int h = num(4), mi = num(5), s = num(6), oh = num(9), om = num(10);
    if (!day.ok() || h > 23 || mi > 59 || s > 59 || oh > 23 || om > 59) return std::nullopt;
    if (m[7].matched && !m[4].matched && m[7].str() != "Z") return std::nullopt; // an offset needs a time
    sys_seconds t = sys_days{day} + hours{h} + minutes{mi} + seconds{s};
    if (m[8].matched) t -= (m[8].str() == "+" ? 1 : -1) * (hours{oh} + minutes{om});
    if (dayEnd && !m[4].matched) t += days{1};
    const auto dp = floor<days>(t);
    const year_month_day out{dp};
    const hh_mm_ss hms{t - dp};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02d:%02d:%02dZ", int(out.year()), unsigned(out.month()),
                  unsigned(out.day()), int(hms.hours().count()), int(hms.minutes().count()),
                  int(hms.seconds().count()));
    return std::string(buf);
}

std::string LocalTimeText(const std::string& utc) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
    char z = 0;
    if (std::sscanf(utc.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &sec, &z) != 7 || z != 'Z')
        return utc;
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = sec;
    const std::time_t t = timegm(&tm);
    std::tm local{};
    if (!localtime_r(&t, &local)) return utc;
    char buf[32];
    std::strftime(buf, sizeof buf, "%d.%m.%Y %H:%M:%S", &local);
    return buf;
}

} // namespace mrk::journal
