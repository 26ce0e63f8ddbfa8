#include "support/number_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace keyin {
namespace {

std::string Narrow(std::u16string_view text) { return std::string(text.begin(), text.end()); }

// Stored numbers are written with up to 15 significant digits.
TEST(FormatNumber, ShortestFormWithFifteenDigits) {
  const std::pair<double, std::u16string> cases[] = {
      {-0.0, u"0"},           {INFINITY, u"Infinity"}, {1e15, u"1E+15"},
      {-1.5e-7, u"-1.5E-07"}, {0.1 + 0.2, u"0.3"},     {5.0 / 3, u"1.66666666666667"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(FormatNumber(value), text) << value;
  EXPECT_EQ(FormatWithLeadingZeros(LLONG_MIN, 2), u"-9223372036854775808");
}

// Parameters and cipher fields are read as the longest leading number, blanks ignored.
TEST(LeadingNumber, ReadsTheLongestLeadingNumberIgnoringBlanks) {
  const std::pair<std::u16string, double> cases[] = {
      {u"", 0},        {u" 1 2 ", 12},    {u"- 5", -5},  {u"--5", 0},
      {u"1.2.3", 1.2}, {u"1 E -2", 0.01}, {u"2D2", 200}, {u"1e+x", 1},
      {u"\r5", 0},     {u"\uFF11", 0},    {u"&H10", 0},  {u"1e400", INFINITY}};
  for (const auto& [text, value] : cases) EXPECT_EQ(LeadingNumber(text), value) << Narrow(text);
  for (const std::u16string text : {u"1 2", u"1e", u".", u"\t5", u"2D2", u"- 5", u"\uFF15"}) {
    EXPECT_FALSE(ParseNumber(text).has_value()) << Narrow(text);  // the strict reading
  }
}

// Scores are rounded on their decimal form, half away from zero: 0.15 is 0.1499... in binary.
// RoundHalfEven: 2^52 + 1 has no fraction, so adding one half and flooring would round it up.
TEST(Rounding, DecimalFormHalfAwayFromZeroAndHalfEven) {
  const std::pair<double, std::u16string> one_decimal[] = {
      {0.25, u"0.3"}, {-0.25, u"-0.3"}, {0.15, u"0.2"}, {9.96, u"10.0"}, {-0.04, u"0.0"}};
  for (const auto& [value, text] : one_decimal) EXPECT_EQ(FormatOneDecimal(value), text) << value;
  EXPECT_EQ(FormatWhole(-2.5), u"-3");
  const std::pair<double, double> even[] = {{2.5, 2}, {3.5, 4}, {0x1p52 + 1, 0x1p52 + 1}};
  for (const auto& [value, rounded] : even) EXPECT_EQ(RoundHalfEven(value), rounded) << value;
}

}  // namespace
}  // namespace keyin
