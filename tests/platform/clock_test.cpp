#include "platform/clock.h"

#include <gtest/gtest.h>

namespace keyin {
namespace {

struct FormatCase {
  DateTime value;
  const char* pattern;
  const char* expected;
};

TEST(FormatDateTimeTest, WritesEveryFieldByItsPattern) {
  const DateTime morning{2024, 3, 5, 9, 7, 2};
  const DateTime evening{2024, 12, 25, 23, 59, 58};
  const FormatCase cases[] = {
      {morning, "yyyy/MM/dd HH:mm:ss", "2024/03/05 09:07:02"},
      {morning, "yyyy/MM/dd H:m:s", "2024/03/05 9:7:2"},
      {morning, "yyyy/MM/dd", "2024/03/05"},
      {morning, "yyyy/M/d", "2024/3/5"},
      {morning, "H:mm:ss", "9:07:02"},
      {evening, "yyyy/M/d H:m:s", "2024/12/25 23:59:58"},
      {evening, "yyyy/MM/dd HH:mm:ss", "2024/12/25 23:59:58"},
      // Letters that are no field, and the rest of a longer run, stand for themselves.
      {morning, "at HH.mm", "at 09.07"},
      {morning, "yyyyy MMM", "2024y 033"},
      {morning, "", ""},
      {DateTime{5, 1, 1, 0, 0, 0}, "yyyy/MM/dd HH:mm:ss", "0005/01/01 00:00:00"},
  };
  for (const FormatCase& c : cases) {
    EXPECT_EQ(FormatDateTime(c.value, c.pattern), c.expected) << c.pattern;
  }
}

TEST(ParseDateTimeTest, ReadsStoredTexts) {
  const struct {
    const char* text;
    DateTime expected;
  } cases[] = {
      {"2024/03/05 09:07:02", {2024, 3, 5, 9, 7, 2}},
      {"2024/3/5 9:7:2", {2024, 3, 5, 9, 7, 2}},
      {"2024-03-05 23:59:59", {2024, 3, 5, 23, 59, 59}},
      {"2024/03/05", {2024, 3, 5, 0, 0, 0}},
      {"2024/2/29", {2024, 2, 29, 0, 0, 0}},   // leap year
      {"2000/02/29", {2000, 2, 29, 0, 0, 0}},  // divisible by 400
      {"2023/12/31 0:0:0", {2023, 12, 31, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    const std::optional<DateTime> parsed = ParseDateTime(c.text);
    ASSERT_TRUE(parsed.has_value()) << c.text;
    EXPECT_EQ(*parsed, c.expected) << c.text;
  }
}

TEST(ParseDateTimeTest, RefusesOtherTextsAndDaysThatDoNotExist) {
  const char* const cases[] = {
      "",
      "abc",
      "2023/02/29",  // not a leap year
      "1900/02/29",  // divisible by 100
      "2024/04/31",
      "2024/13/01",
      "2024/00/10",
      "2024/01/00",
      "0000/01/01",
      "2024/01/01 24:00:00",
      "2024/01/01 12:60:00",
      "2024/01/01 12:00:60",
      "24/01/01",
      "20240/01/01",
      "2024/001/01",
      "2024/01/01 ",
      " 2024/01/01",
      "2024/01/01 9:7",
      "2024/01/01  9:07:02",
      "2024/01/01 09:07:02 ",
      "2024/01-01",
      "2024/01/01T09:07:02",
      "2024/1/1 9:7:2 PM",
  };
  for (const char* text : cases) {
    EXPECT_FALSE(ParseDateTime(text).has_value()) << '"' << text << '"';
  }
}

TEST(LocalNowTest, IsAValidDateTime) {
  const DateTime now = LocalNow();
  EXPECT_GE(now.year, 2024);
  const std::optional<DateTime> reread = ParseDateTime(FormatDateTime(now, "yyyy/MM/dd HH:mm:ss"));
  ASSERT_TRUE(reread.has_value());
  EXPECT_EQ(*reread, now);
}

}  // namespace
}  // namespace keyin
