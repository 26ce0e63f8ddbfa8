#include "support/number_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

namespace keyin {
namespace {

TEST(FormatNumber, ShortestFormWithFifteenDigits) {
  const struct {
    double value;
    std::u16string text;
  } cases[] = {
      {42, u"42"},
      {5.2, u"5.2"},
      {0.8, u"0.8"},
      {0, u"0"},
      {-0.0, u"0"},
      {-2.5, u"-2.5"},
      {5.0 / 3, u"1.66666666666667"},
      {0.1 + 0.2, u"0.3"},
      {100.0 / 60, u"1.66666666666667"},
      {999999999999999, u"999999999999999"},
      {1e15, u"1E+15"},
      {1e20, u"1E+20"},
      {123456789012345678.0, u"1.23456789012346E+17"},
      {0.0001, u"0.0001"},
      {0.00001, u"1E-05"},
      {-1.5e-7, u"-1.5E-07"},
      {1.5e300, u"1.5E+300"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatNumber(c.value), c.text) << c.value;
  }
}

TEST(FormatNumber, NonFiniteValuesAreNamed) {
  EXPECT_EQ(FormatNumber(std::numeric_limits<double>::infinity()), u"Infinity");
  EXPECT_EQ(FormatNumber(-std::numeric_limits<double>::infinity()), u"-Infinity");
  EXPECT_EQ(FormatNumber(std::nan("")), u"NaN");
}

TEST(LeadingNumber, ReadsTheLongestLeadingNumber) {
  const struct {
    std::u16string text;
    double value;
  } cases[] = {
      {u"", 0},
      {u"abc", 0},
      {u"A1", 0},
      {u"12abc", 12},
      {u" 1 2 ", 12},
      {u"\t-3.5\n", -3.5},
      {u"- 5", -5},
      {u"+7", 7},
      {u"--5", 0},
      {u"1.2.3", 1.2},
      {u".5", 0.5},
      {u"5.", 5},
      {u".", 0},
      {u"05", 5},
      {u"7.50", 7.5},
      {u"1e3", 1000},
      {u"1 E -2", 0.01},
      {u"2D2", 200},
      {u"1E", 1},
      {u"1e+x", 1},
      {u"1,5", 1},
      {u"\r5", 0},           // only blanks, tabs and line feeds are passed over
      {u"\uFF11\uFF12", 0},  // full-width digits are not digits
      {u"&H10", 0},          // hexadecimal prefixes are not understood
      {u"1e-400", 0},
      {u"1.66666666666667E+306", 1.66666666666667e306},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LeadingNumber(c.text), c.value) << std::string(c.text.begin(), c.text.end());
  }
}

TEST(LeadingNumber, OverflowGivesAnInfinity) {
  EXPECT_EQ(LeadingNumber(u"1e400"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(LeadingNumber(u"-1e99999999999999999999"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(LeadingNumber(u"0.000000001e310"), 1e301);
}

TEST(ParseNumber, AcceptsOneNumberBetweenBlanks) {
  const struct {
    std::u16string text;
    double value;
  } cases[] = {
      {u"300", 300}, {u" 300 ", 300}, {u"-2.5", -2.5}, {u"+4", 4},  {u".5", 0.5},
      {u"5.", 5},    {u"1e3", 1000},  {u"1E-2", 0.01}, {u"007", 7}, {u"1e-400", 0},
  };
  for (const auto& c : cases) {
    const auto parsed = ParseNumber(c.text);
    ASSERT_TRUE(parsed.has_value()) << std::string(c.text.begin(), c.text.end());
    EXPECT_EQ(*parsed, c.value);
  }
}

TEST(ParseNumber, RejectsEverythingElse) {
  for (const std::u16string text :
       {u"", u"   ", u"abc", u"12a", u"1 2", u"1e", u"1e+", u"+", u"-", u".", u"\t5", u"5\t",
        u"1,5", u"2D2", u"1e400", u"- 5", u"\uFF15"}) {
    EXPECT_FALSE(ParseNumber(text).has_value()) << std::string(text.begin(), text.end());
  }
}

TEST(FormatWithLeadingZeros, PadsToTheDigitCount) {
  EXPECT_EQ(FormatWithLeadingZeros(7, 2), u"07");
  EXPECT_EQ(FormatWithLeadingZeros(0, 2), u"00");
  EXPECT_EQ(FormatWithLeadingZeros(12, 2), u"12");
  EXPECT_EQ(FormatWithLeadingZeros(123, 2), u"123");
  EXPECT_EQ(FormatWithLeadingZeros(-7, 2), u"-07");
  EXPECT_EQ(FormatWithLeadingZeros(LLONG_MIN, 2), u"-9223372036854775808");
}

TEST(FormatOneDecimal, RoundsTheDecimalFormHalfAwayFromZero) {
  const struct {
    double value;
    std::u16string text;
  } cases[] = {
      {0, u"0.0"},     {0.5, u"0.5"},  {3, u"3.0"},      {12.5, u"12.5"},
      {0.25, u"0.3"},  {0.75, u"0.8"}, {12.25, u"12.3"}, {-0.25, u"-0.3"},
      {0.15, u"0.2"},  // 0.1499999... in binary, 0.15 as written
      {9.96, u"10.0"}, {0.04, u"0.0"}, {-0.04, u"0.0"},  {1e20, u"100000000000000000000.0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatOneDecimal(c.value), c.text) << c.value;
  }
}

TEST(FormatWhole, RoundsHalfAwayFromZero) {
  const struct {
    double value;
    std::u16string text;
  } cases[] = {
      {0, u"0"},   {0.4, u"0"},   {0.5, u"1"}, {1.5, u"2"},
      {2.5, u"3"}, {-2.5, u"-3"}, {40, u"40"}, {999.5, u"1000"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatWhole(c.value), c.text) << c.value;
  }
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  const struct {
    double value;
    double rounded;
  } cases[] = {
      {2.5, 2},   {3.5, 4},   {-2.5, -2},
      {-3.5, -4}, {0.5, 0},   {2.4999, 2},
      {2.6, 3},   {-2.6, -3}, {4503599627370497.0, 4503599627370497.0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RoundHalfEven(c.value), c.rounded) << c.value;
  }
}

}  // namespace
}  // namespace keyin
