#include "app/CommandVars.h"

#include <ctime>

namespace mrk {

namespace {

std::chrono::year_month_day LocalToday() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return std::chrono::year_month_day{std::chrono::year{tm.tm_year + 1900},
                                       std::chrono::month{static_cast<unsigned>(tm.tm_mon + 1)},
                                       std::chrono::day{static_cast<unsigned>(tm.tm_mday)}};
}

} // namespace

CommandVars::CommandVars() : Today(LocalToday) {
    SavedEnabled.fill(true);
}

} // namespace mrk
