// The local date and time of the process (TZ applies), and the date-time texts of the system.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace keyin {

struct DateTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  friend bool operator==(const DateTime&, const DateTime&) = default;
};

DateTime LocalNow();

// The milliseconds since 1970 (UTC) of a local date-time (TZ applies; a time that a change of
// daylight saving time skips or repeats is taken as mktime takes it).
std::int64_t LocalToUnixMillis(const DateTime& value);

// Writes a date-time by a pattern made of the fields yyyy, M, MM, d, dd, H, HH, m, mm, s, ss;
// every other character stands for itself ("yyyy/MM/dd HH:mm:ss", "yyyy/MM/dd H:m:s",
// "yyyy/MM/dd", and the regional forms "yyyy/M/d" and "H:mm:ss"). Pure.
std::string FormatDateTime(const DateTime& value, std::string_view pattern);
// The same as UTF-16 text (patterns and digits are ASCII). Pure.
std::u16string FormatDateTimeText(const DateTime& value, std::string_view pattern);

// How the tables and the CSCR file store a date-time.
inline constexpr std::string_view kStoredDateTimePattern = "yyyy/MM/dd HH:mm:ss";

// Reads a stored date-time text "yyyy/M/d" optionally followed by a blank and "H:m:s" (each
// field with or without leading zeros; "-" is accepted for "/"). Nothing for any other text or
// for a date or time that does not exist. Pure.
std::optional<DateTime> ParseDateTime(std::string_view text);

}  // namespace keyin
