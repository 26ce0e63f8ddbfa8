// The local clock and the date-time texts "yyyy/MM/dd HH:mm:ss" and their relatives.
//
// Patterns are read longest field first at each position (yyyy before anything, MM before M), so
// "yyyy/MM/dd H:m:s" reads as seven fields and two kinds of separator. Stored texts are read
// strictly: every field must be present and in range, and the day must exist in its month.
#include "platform/clock.h"

#include <array>
#include <cstdio>
#include <ctime>
#include <stdexcept>

namespace keyin {

std::int64_t LocalToUnixMillis(const DateTime& value) {
  std::tm local{};
  local.tm_year = value.year - 1900;
  local.tm_mon = value.month - 1;
  local.tm_mday = value.day;
  local.tm_hour = value.hour;
  local.tm_min = value.minute;
  local.tm_sec = value.second;
  local.tm_isdst = -1;
  const std::time_t seconds = std::mktime(&local);
  if (seconds == static_cast<std::time_t>(-1)) {
    throw std::runtime_error("cannot convert a local date and time");
  }
  return static_cast<std::int64_t>(seconds) * 1000;
}

DateTime LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (now == static_cast<std::time_t>(-1) || localtime_r(&now, &local) == nullptr) {
    throw std::runtime_error("cannot read the local date and time");
  }
  return DateTime{
      .year = local.tm_year + 1900,
      .month = local.tm_mon + 1,
      .day = local.tm_mday,
      .hour = local.tm_hour,
      .minute = local.tm_min,
      .second = local.tm_sec,
  };
}

namespace {

struct Field {
  std::string_view token;
  int DateTime::*member;
  int width;  // digits at least; shorter values get leading zeros
};

// Longest token of each letter first: the first match at a position wins.
constexpr std::array<Field, 11> kFields{{
    {"yyyy", &DateTime::year, 4},
    {"MM", &DateTime::month, 2},
    {"M", &DateTime::month, 1},
    {"dd", &DateTime::day, 2},
    {"d", &DateTime::day, 1},
    {"HH", &DateTime::hour, 2},
    {"H", &DateTime::hour, 1},
    {"mm", &DateTime::minute, 2},
    {"m", &DateTime::minute, 1},
    {"ss", &DateTime::second, 2},
    {"s", &DateTime::second, 1},
}};

void AppendNumber(std::string& out, int value, int width) {
  char buffer[16];
  const int length = std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
  out.append(buffer, static_cast<std::size_t>(length));
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

// Reads a run of min_digits to max_digits decimal digits at position; advances past it.
std::optional<int> ReadNumber(std::string_view text, std::size_t& position, int min_digits,
                              int max_digits) {
  int value = 0;
  int digits = 0;
  while (position < text.size() && digits < max_digits && text[position] >= '0' &&
         text[position] <= '9') {
    value = value * 10 + (text[position] - '0');
    ++position;
    ++digits;
  }
  if (digits < min_digits) return std::nullopt;
  // A third digit where two are allowed is a malformed field, not a field and a separator.
  if (position < text.size() && text[position] >= '0' && text[position] <= '9') {
    return std::nullopt;
  }
  return value;
}

bool ReadChar(std::string_view text, std::size_t& position, char expected) {
  if (position >= text.size() || text[position] != expected) return false;
  ++position;
  return true;
}

}  // namespace

std::string FormatDateTime(const DateTime& value, std::string_view pattern) {
  std::string out;
  out.reserve(pattern.size() + 8);
  std::size_t position = 0;
  while (position < pattern.size()) {
    const std::string_view rest = pattern.substr(position);
    bool matched = false;
    for (const Field& field : kFields) {
      if (rest.starts_with(field.token)) {
        AppendNumber(out, value.*field.member, field.width);
        position += field.token.size();
        matched = true;
        break;
      }
    }
    if (!matched) {
      out += pattern[position];
      ++position;
    }
  }
  return out;
}

std::u16string FormatDateTimeText(const DateTime& value, std::string_view pattern) {
  const std::string text = FormatDateTime(value, pattern);
  return std::u16string(text.begin(), text.end());
}

std::optional<DateTime> ParseDateTime(std::string_view text) {
  DateTime value;
  std::size_t position = 0;

  const auto year = ReadNumber(text, position, 4, 4);
  if (!year || position >= text.size()) return std::nullopt;
  const char separator = text[position];
  if (separator != '/' && separator != '-') return std::nullopt;
  ++position;
  const auto month = ReadNumber(text, position, 1, 2);
  if (!month || !ReadChar(text, position, separator)) return std::nullopt;
  const auto day = ReadNumber(text, position, 1, 2);
  if (!day) return std::nullopt;
  value.year = *year;
  value.month = *month;
  value.day = *day;

  if (position < text.size()) {
    if (!ReadChar(text, position, ' ')) return std::nullopt;
    const auto hour = ReadNumber(text, position, 1, 2);
    if (!hour || !ReadChar(text, position, ':')) return std::nullopt;
    const auto minute = ReadNumber(text, position, 1, 2);
    if (!minute || !ReadChar(text, position, ':')) return std::nullopt;
    const auto second = ReadNumber(text, position, 1, 2);
    if (!second || position != text.size()) return std::nullopt;
    value.hour = *hour;
    value.minute = *minute;
    value.second = *second;
  }

  if (value.year < 1 || value.month < 1 || value.month > 12 || value.day < 1 ||
      value.day > DaysInMonth(value.year, value.month) || value.hour > 23 || value.minute > 59 ||
      value.second > 59) {
    return std::nullopt;
  }
  return value;
}

}  // namespace keyin
