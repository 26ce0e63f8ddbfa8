#include "platform/clock.h"

#include <gtest/gtest.h>

namespace keyin {
namespace {

// Stored times are read back to select rows: a day that does not exist is no time at all.
TEST(DateTime, FormatsByPatternAndReadsOnlyRealDays) {
  EXPECT_EQ(FormatDateTime({2024, 3, 5, 9, 7, 2}, "yyyy/M/d H:mm:ss"), "2024/3/5 9:07:02");
  EXPECT_EQ(FormatDateTime({2024, 12, 25, 23, 59, 58}, "yyyy/MM/dd H:m:s"), "2024/12/25 23:59:58");
  const std::pair<const char*, DateTime> good[] = {
      {"2024-03-05 23:59:59", {2024, 3, 5, 23, 59, 59}}, {"2000/02/29", {2000, 2, 29, 0, 0, 0}}};
  for (const auto& [text, expected] : good) EXPECT_EQ(ParseDateTime(text), expected) << text;
  for (const char* text : {"", "2023/02/29", "1900/02/29", "2024/04/31", "2024/13/01", "2024/01/00",
                           "2024/01/01 24:00:00", "24/01/01", " 2024/01/01", "2024/1/1 9:7:2 PM"}) {
    EXPECT_FALSE(ParseDateTime(text).has_value()) << '"' << text << '"';
  }
}

}  // namespace
}  // namespace keyin
