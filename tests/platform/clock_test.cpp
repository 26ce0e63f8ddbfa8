#include "platform/clock.h"

#include <gtest/gtest.h>

namespace keyin {
namespace {

TEST(FormatDateTimeTest, WritesEveryFieldByItsPattern) {
  const DateTime morning{2024, 3, 5, 9, 7, 2};
  const std::pair<const char*, const char*> cases[] = {
      {"yyyy/MM/dd HH:mm:ss", "2024/03/05 09:07:02"},
      {"yyyy/MM/dd H:m:s", "2024/03/05 9:7:2"},
      {"yyyy/M/d", "2024/3/5"},
      {"H:mm:ss", "9:07:02"}};
  for (const auto& [pattern, expected] : cases)
    EXPECT_EQ(FormatDateTime(morning, pattern), expected);
  EXPECT_EQ(FormatDateTime({2024, 12, 25, 23, 59, 58}, "yyyy/M/d H:m:s"), "2024/12/25 23:59:58");
}

TEST(ParseDateTimeTest, ReadsStoredTextsAndRefusesDaysThatDoNotExist) {
  const std::pair<const char*, DateTime> good[] = {
      {"2024/3/5 9:7:2", {2024, 3, 5, 9, 7, 2}},
      {"2024-03-05 23:59:59", {2024, 3, 5, 23, 59, 59}},
      {"2024/2/29", {2024, 2, 29, 0, 0, 0}},
      {"2000/02/29", {2000, 2, 29, 0, 0, 0}}};
  for (const auto& [text, expected] : good) EXPECT_EQ(ParseDateTime(text), expected) << text;
  for (const char* text : {"", "abc", "2023/02/29", "1900/02/29", "2024/04/31", "2024/13/01",
                           "2024/01/00", "2024/01/01 24:00:00", "2024/01/01 12:60:00", "24/01/01",
                           " 2024/01/01", "2024/01/01 9:7", "2024/1/1 9:7:2 PM"}) {
    EXPECT_FALSE(ParseDateTime(text).has_value()) << '"' << text << '"';
  }
}

}  // namespace
}  // namespace keyin
