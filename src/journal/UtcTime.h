#pragma once
// Dates and times typed by people for the journal's filters, as the journal
// stores them: "YYYY-MM-DDTHH:MM:SSZ" in UTC.
#include <optional>
#include <string>

namespace mrk::journal {

// "2026-12-01", "2026-12-01T17:46", "2026-12-01T17:46:05", each optionally ending
// in "Z" or an offset ("+03:00", "-0500"); an impossible date or time gives nothing.
// A bare date with dayEnd means the end of that day (the next day's start).
[[nodiscard]] std::optional<std::string> ParseUtcTime(const std::string& text, bool dayEnd = false);

// A stored UTC time as the station's clock shows it ("11.12.2026 12:35:07");
// text that is not a stored time is given back as it is.
std::string LocalTimeText(const std::string& utc);

} // namespace mrk::journal
