#include "scoring/totals.h"

#include <gtest/gtest.h>

namespace keyin {
namespace {

constexpr double kPractice = 1;
constexpr double kMockTest = 3;

// Totals after a loop in which reference lines 1 .. scored_lines all scored.
MatchTotals ScoredTotals(double score_sum, long long total_chars, long long error_count,
                         int scored_lines = 1) {
  MatchTotals totals;
  totals.score_sum = score_sum;
  totals.total_chars = total_chars;
  totals.error_count = error_count;
  totals.highest_scored_line = scored_lines;
  totals.ref_used.assign(201, false);
  for (int r = 1; r <= scored_lines; ++r) totals.ref_used[r] = true;
  return totals;
}

const ReferenceLines kNoLines;

TEST(TotScr, SpeedIsRoundedUpAndErrorRateDown) {
  const struct {
    double score_sum;
    long long total_chars, error_count;
    std::u16string use_time;
    double speed, error_rate;
  } cases[] = {
      {113.5, 120, 3, u"300", 23, 2},  // 22.7 per minute
      {100, 150, 7, u"300", 20, 4},    // 4.67 per cent; a whole speed stays as it is
      {100, 100, 0, u"300", 20, 0},
      {10, 10, 15, u"60", 10, 150},  // extra characters can push the rate past 100
      {0.5, 1, 0, u"  90  ", 1, 0},  // blanks around the seconds are allowed
  };
  for (const auto& c : cases) {
    const Scores scores = TotScr(ScoredTotals(c.score_sum, c.total_chars, c.error_count), kNoLines,
                                 c.use_time, kPractice);
    EXPECT_EQ(scores.CharsPerMinute, c.speed) << c.score_sum;
    EXPECT_EQ(scores.ErrorRate, c.error_rate) << c.score_sum;
    EXPECT_EQ(scores.TotalChars, c.total_chars);
    EXPECT_EQ(scores.ErrorCount, c.error_count);
  }
}

TEST(TotScr, TimeLineTexts) {
  const struct {
    std::u16string use_time;
    double test_type;
    double minutes;
    std::u16string minutes_text, seconds_text;
  } cases[] = {
      {u"300", kPractice, 5, u"5", u"0"},           {u"150", kPractice, 2.5, u"2", u"30"},
      {u"100", kPractice, 100.0 / 60, u"1", u"40"},  // 0.666...7 x 60 written as 40
      {u"59", kPractice, 59.0 / 60, u"0", u"59"},   {u"125.9", kPractice, 125.9 / 60, u"2", u"5"},
      {u"720", kMockTest, 10, u"10", u"0"},  // a mock test is capped at ten minutes
      {u"720", kPractice, 12, u"12", u"0"},         {u"600", kMockTest, 10, u"10", u"0"},
      {u"610", 0, 610.0 / 60, u"10", u"9"},  // 9.99999999999996 seconds, cut to 9
  };
  for (const auto& c : cases) {
    const Scores scores = TotScr(ScoredTotals(50, 60, 0), kNoLines, c.use_time, c.test_type);
    const std::string label(c.use_time.begin(), c.use_time.end());
    EXPECT_EQ(scores.TestMinutes, c.minutes) << label;
    EXPECT_EQ(scores.TestMinutesText, c.minutes_text) << label;
    EXPECT_EQ(scores.TestSecondsText, c.seconds_text) << label;
  }
}

TEST(TotScr, CappedMockTestTimeGivesTheSpeed) {
  EXPECT_EQ(TotScr(ScoredTotals(100, 100, 0), kNoLines, u"720", kMockTest).CharsPerMinute, 10);
  EXPECT_EQ(TotScr(ScoredTotals(100, 100, 0), kNoLines, u"720", kPractice).CharsPerMinute, 9);
}

TEST(TotScr, ReCalcChargesUnusedLinesUpToTheHighestScoredLine) {
  const ReferenceLines reference = {u"",           u"一一一一", u"二二二", u"三三",
                                    u"四四四四四", u"五五",     u"六六六"};
  MatchTotals totals = ScoredTotals(10, 9, 1, 0);
  totals.ref_used.assign(201, false);
  totals.ref_used[1] = totals.ref_used[2] = totals.ref_used[5] = true;
  totals.highest_scored_line = 5;

  const Scores scores = TotScr(totals, reference, u"60", kPractice);
  EXPECT_EQ(scores.SkippedText, u"三三四四四四四");
  EXPECT_EQ(scores.TotalChars, 9 + 7);
  EXPECT_EQ(scores.ErrorCount, 1 + 7);
  EXPECT_EQ(scores.ErrorRate, 50);
}

TEST(TotScr, ReCalcToleratesLinesPastTheEndOfTheText) {
  MatchTotals totals = ScoredTotals(10, 9, 1, 0);
  totals.highest_scored_line = 4;
  const Scores scores = TotScr(totals, ReferenceLines{u"", u"一一"}, u"60", kPractice);
  EXPECT_EQ(scores.SkippedText, u"一一");
  EXPECT_EQ(scores.TotalChars, 11);
}

TEST(TotScr, NothingScored) {
  MatchTotals totals;  // TotalChars 0
  totals.highest_scored_line = 5;
  totals.ref_used.assign(201, false);
  const ReferenceLines reference = {u"", u"一", u"二", u"三", u"四", u"五"};

  const Scores scores = TotScr(totals, reference, u"720", kMockTest);
  EXPECT_EQ(scores.CharsPerMinute, 0);
  EXPECT_EQ(scores.ErrorRate, 99);
  EXPECT_FALSE(scores.AdjustedCharsPerMinute.has_value());
  EXPECT_EQ(scores.SkippedText, u"");
  EXPECT_EQ(scores.TotalChars, 0);
  EXPECT_EQ(scores.ErrorCount, 0);
  EXPECT_EQ(scores.TestMinutesText, u"12");  // not capped
  EXPECT_EQ(scores.TestSecondsText, u"0");
}

TEST(TotScr, NothingScoredAcceptsAZeroTime) {
  const Scores scores = TotScr(MatchTotals{}, kNoLines, u"0", kPractice);
  EXPECT_EQ(scores.CharsPerMinute, 0);
  EXPECT_EQ(scores.TestMinutesText, u"0");
  EXPECT_EQ(scores.TestSecondsText, u"0");
}

TEST(TotScr, AdjustedSpeed) {
  MatchTotals totals = ScoredTotals(113.5, 120, 3);
  totals.adjusted_score_sum = 101;
  totals.deduction = 1;
  const Scores adjusted = TotScr(totals, kNoLines, u"300", kPractice);
  EXPECT_EQ(adjusted.CharsPerMinute, 23);
  EXPECT_EQ(adjusted.AdjustedCharsPerMinute, 21);  // 20.2 rounded up
  EXPECT_EQ(adjusted.Deduction, 1);

  // No deduction standard: nothing accumulated, the adjusted speed is 0, not empty.
  const Scores plain = TotScr(ScoredTotals(113.5, 120, 3), kNoLines, u"300", kPractice);
  EXPECT_EQ(plain.AdjustedCharsPerMinute, 0);
  EXPECT_EQ(plain.Deduction, 0.5);
}

TEST(TotScr, TimesThatGiveNoSpeedAreErrors) {
  for (const std::u16string use_time : {u"", u"abc", u"5 min", u"1e400"}) {
    EXPECT_THROW(TotScr(MatchTotals{}, kNoLines, use_time, kPractice), ScoreError)
        << std::string(use_time.begin(), use_time.end());
  }
  for (const std::u16string use_time : {u"0", u"-60", u"1e-320"}) {
    EXPECT_THROW(TotScr(ScoredTotals(10, 10, 0), kNoLines, use_time, kPractice), ScoreError)
        << std::string(use_time.begin(), use_time.end());
  }
}

TEST(TotScr, ErrorMessageNamesTheTime) {
  try {
    TotScr(ScoredTotals(10, 10, 0), kNoLines, u"0", kPractice);
    FAIL();
  } catch (const ScoreError& error) {
    EXPECT_NE(std::string(error.what()).find("UseTime"), std::string::npos) << error.what();
  }
}

}  // namespace
}  // namespace keyin
