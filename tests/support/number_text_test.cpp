#include "support/number_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace keyin {
namespace {

std::string Narrow(std::u16string_view text) { return std::string(text.begin(), text.end()); }

TEST(FormatNumber, ShortestFormWithFifteenDigits) {
  const std::pair<double, std::u16string> cases[] = {
      {42, u"42"},      {5.2, u"5.2"},       {-0.0, u"0"},           {INFINITY, u"Infinity"},
      {1e15, u"1E+15"}, {0.0001, u"0.0001"}, {-1.5e-7, u"-1.5E-07"}, {0.1 + 0.2, u"0.3"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(FormatNumber(value), text) << value;
  EXPECT_EQ(FormatNumber(5.0 / 3), u"1.66666666666667");
}

TEST(LeadingNumber, ReadsTheLongestLeadingNumberIgnoringBlanks) {
  const std::pair<std::u16string, double> cases[] = {
      {u"", 0},          {u"12abc", 12}, {u" 1 2 ", 12},  {u"\t-3.5\n", -3.5},
      {u"- 5", -5},      {u"--5", 0},    {u"1.2.3", 1.2}, {u".5", 0.5},
      {u"1 E -2", 0.01}, {u"2D2", 200},  {u"1e+x", 1},    {u"1,5", 1},
      {u"\r5", 0},       {u"\uFF11", 0}, {u"&H10", 0},    {u"1e400", INFINITY}};
  for (const auto& [text, value] : cases) EXPECT_EQ(LeadingNumber(text), value) << Narrow(text);
}

TEST(ParseNumber, AcceptsOneNumberBetweenBlanksOnly) {
  const std::pair<std::u16string, double> good[] = {
      {u" 300 ", 300}, {u"-2.5", -2.5}, {u"+4", 4}, {u".5", 0.5}, {u"5.", 5}, {u"1E-2", 0.01}};
  for (const auto& [text, value] : good) EXPECT_EQ(ParseNumber(text), value) << Narrow(text);
  for (const std::u16string text : {u"", u"   ", u"12a", u"1 2", u"1e", u"+", u".", u"\t5", u"2D2",
                                    u"1e400", u"- 5", u"\uFF15"}) {
    EXPECT_FALSE(ParseNumber(text).has_value()) << Narrow(text);
  }
}

TEST(FormatWithLeadingZeros, PadsToTheDigitCount) {
  EXPECT_EQ(FormatWithLeadingZeros(123, 2), u"123");
  EXPECT_EQ(FormatWithLeadingZeros(-7, 2), u"-07");
  EXPECT_EQ(FormatWithLeadingZeros(LLONG_MIN, 2), u"-9223372036854775808");
}

// Scores are rounded on their decimal form, half away from zero: 0.15 is 0.1499... in binary.
TEST(FormatFixed, RoundsTheDecimalFormHalfAwayFromZero) {
  const std::pair<double, std::u16string> one_decimal[] = {
      {0.25, u"0.3"}, {-0.25, u"-0.3"}, {0.15, u"0.2"}, {9.96, u"10.0"}, {-0.04, u"0.0"}};
  for (const auto& [value, text] : one_decimal) EXPECT_EQ(FormatOneDecimal(value), text) << value;
  const std::pair<double, std::u16string> whole[] = {
      {0.4, u"0"}, {2.5, u"3"}, {-2.5, u"-3"}, {999.5, u"1000"}};
  for (const auto& [value, text] : whole) EXPECT_EQ(FormatWhole(value), text) << value;
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  // 2^52 + 1 has no fraction: adding one half and flooring would round it up.
  const std::pair<double, double> cases[] = {
      {2.5, 2}, {3.5, 4}, {-2.5, -2}, {0.5, 0}, {2.4999, 2}, {-2.6, -3}, {0x1p52 + 1, 0x1p52 + 1}};
  for (const auto& [value, rounded] : cases) EXPECT_EQ(RoundHalfEven(value), rounded) << value;
}

}  // namespace
}  // namespace keyin
