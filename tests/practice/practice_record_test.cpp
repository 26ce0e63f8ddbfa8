#include "practice/practice_record.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/code_page.h"
#include "run/run_end.h"

namespace keyin {
namespace {

TEST(PracticeRecord, TimeTexts) {
  const std::pair<const char16_t*, const char16_t*> elapsed[] = {
      {u"125", u"2分5秒"},
      {u"59", u"0分59秒"},
      {u"120", u"2分0秒"},
      {u"90.5", u"1分30秒"},
      {u"91.5", u"1分32秒"}};  // halves of seconds round to even
  for (const auto& [seconds, text] : elapsed) {
    EXPECT_EQ(ElapsedTimeText(seconds), text) << Utf16ToUtf8(seconds);
  }
  EXPECT_EQ(AllowedTimeText(u"100"), u"1.66666666666667分00秒");
  EXPECT_THROW(ElapsedTimeText(u"5分"), RunFailure);
  EXPECT_THROW(AllowedTimeText(u""), RunFailure);
}

// Right characters are the total less the errors; values not computed store 0.
TEST(PracticeRecord, RowCountsRightCharacters) {
  RunParams params;
  params.TestType = u"1";
  params.TotTime = params.UseTime = u"60";
  const PracticeInputs inputs{.TotalChars = 300,
                              .ErrorCount = 12,
                              .ErrorRate = std::nullopt,
                              .Speed = std::nullopt,
                              .ErrorWords = u""};
  std::map<std::string, DbValue> row;
  for (TempScoreColumn& column : TempScoreRow(params, inputs, DateTime{}, u"")) {
    row[column.name] = std::move(column.value);
  }
  EXPECT_EQ(row["RightChr"], DbValue(288.0));
  EXPECT_EQ(row["ErrPercen"], DbValue(0.0));
  EXPECT_EQ(row["Average"], DbValue(0.0));
}

// The practice record keeps the adjusted speed only above the default deduction of 0.5.
TEST(PracticeRecord, SpeedByTheDeductionStandard) {
  ScoringOutcome outcome;
  outcome.scores.CharsPerMinute = 40;
  outcome.scores.AdjustedCharsPerMinute = 31;
  const std::pair<double, double> cases[] = {{0, 40}, {0.5, 40}, {0.75, 31}};
  for (const auto& [SubtractScore, speed] : cases) {
    EXPECT_EQ(PracticeInputsOf(outcome, SubtractScore).Speed, speed) << SubtractScore;
  }
}

TEST(PracticeRecord, SeatsAreNumbersWhenBothAreNumbers) {
  EXPECT_TRUE(SameSeat(std::u16string(u"05"), u"5"));
  EXPECT_TRUE(SameSeat(5.0, u"05"));
  EXPECT_TRUE(SameSeat(std::u16string(u"A1"), u"A1"));
  EXPECT_FALSE(SameSeat(std::u16string(u"A1"), u"B2"));
  EXPECT_FALSE(SameSeat(std::u16string(u"0"), u"A1"));
  EXPECT_FALSE(SameSeat(DbValue(), u"5"));
}

}  // namespace
}  // namespace keyin
