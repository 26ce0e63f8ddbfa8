#include "scoring/totals.h"

#include <gtest/gtest.h>

namespace keyin {
namespace {

constexpr double kPractice = 1;
constexpr double kMockTest = 3;
const ReferenceLines kNoLines;

// Totals after a loop in which reference line 1 alone scored.
MatchTotals ScoredTotals(double score_sum, long long total_chars, long long error_count) {
  MatchTotals totals;
  totals.score_sum = score_sum;
  totals.total_chars = total_chars;
  totals.error_count = error_count;
  totals.ref_used.assign(201, false);
  totals.ref_used[1] = true;
  return totals;
}

// Speed is rounded up, the error rate down; UseTime is in seconds.
TEST(TotScr, SpeedErrorRateAndTime) {
  const struct {
    double score_sum;
    std::u16string use_time;
    double test_type, speed;
    std::u16string minutes, seconds;
  } cases[] = {
      {113.5, u"300", kPractice, 23, u"5", u"0"},    // 22.7 per minute
      {100, u"  150 ", kPractice, 40, u"2", u"30"},  // blanks around the seconds are allowed
      {100, u"100", kPractice, 60, u"1", u"40"},     // 0.666...7 x 60 written as 40
      {100, u"720", kMockTest, 10, u"10", u"0"},     // a mock test is capped at ten minutes
      {100, u"720", kPractice, 9, u"12", u"0"},
      {100, u"610", 0, 10, u"10", u"9"},  // 9.99999999999996 seconds, cut to 9
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    const Scores scores =
        TotScr(ScoredTotals(c.score_sum, 150, 7), kNoLines, c.use_time, c.test_type);
    EXPECT_EQ(scores.CharsPerMinute, c.speed);
    EXPECT_EQ(scores.ErrorRate, 4);  // 4.67 per cent
    EXPECT_EQ(scores.TestMinutesText, c.minutes);
    EXPECT_EQ(scores.TestSecondsText, c.seconds);
  }
}

// Unused lines up to the highest scored one count as wholly missed; lines past the end of the
// text read as empty.
TEST(TotScr, ReCalc) {
  const ReferenceLines reference = {u"",           u"一一一一", u"二二二", u"三三",
                                    u"四四四四四", u"五五",     u"六六六"};
  MatchTotals totals = ScoredTotals(10, 9, 1);
  totals.ref_used[2] = totals.ref_used[5] = true;
  totals.highest_scored_line = 5;
  const Scores scores = TotScr(totals, reference, u"60", kPractice);
  EXPECT_EQ(scores.SkippedText, u"三三四四四四四");
  EXPECT_EQ(scores.TotalChars, 9 + 7);
  EXPECT_EQ(scores.ErrorCount, 1 + 7);
  EXPECT_EQ(scores.ErrorRate, 50);
  const ReferenceLines short_text(reference.begin(), reference.begin() + 4);
  EXPECT_EQ(TotScr(totals, short_text, u"60", kPractice).SkippedText, u"三三");
}

TEST(TotScr, NothingScored) {
  MatchTotals totals;
  totals.highest_scored_line = 5;
  totals.ref_used.assign(201, false);
  const ReferenceLines reference = {u"", u"一", u"二", u"三", u"四", u"五"};
  const Scores scores = TotScr(totals, reference, u"720", kMockTest);
  EXPECT_EQ(scores.CharsPerMinute, 0);
  EXPECT_EQ(scores.ErrorRate, 99);
  EXPECT_FALSE(scores.AdjustedCharsPerMinute.has_value());
  EXPECT_EQ(scores.SkippedText, u"");
  EXPECT_EQ(scores.TestMinutesText, u"12");  // not capped
  EXPECT_EQ(TotScr(MatchTotals{}, kNoLines, u"0", kPractice).TestMinutesText, u"0");
}

TEST(TotScr, AdjustedSpeed) {
  MatchTotals totals = ScoredTotals(113.5, 120, 3);
  totals.adjusted_score_sum = 101;
  totals.deduction = 1;
  const Scores adjusted = TotScr(totals, kNoLines, u"300", kPractice);
  EXPECT_EQ(adjusted.AdjustedCharsPerMinute, 21);  // 20.2 rounded up
  // No deduction standard: nothing accumulated, the adjusted speed is 0, not empty.
  EXPECT_EQ(TotScr(ScoredTotals(113.5, 120, 3), kNoLines, u"300", kPractice).AdjustedCharsPerMinute,
            0);
}

TEST(TotScr, TimesThatGiveNoSpeedAreErrors) {
  for (const std::u16string use_time : {u"", u"abc", u"5 min", u"1e400"}) {
    EXPECT_THROW(TotScr(MatchTotals{}, kNoLines, use_time, kPractice), ScoreError);
  }
  for (const std::u16string use_time : {u"0", u"-60", u"1e-320"}) {  // with lines scored
    EXPECT_THROW(TotScr(ScoredTotals(10, 10, 0), kNoLines, use_time, kPractice), ScoreError);
  }
}

}  // namespace
}  // namespace keyin
