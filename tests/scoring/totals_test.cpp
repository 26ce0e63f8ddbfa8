#include "scoring/totals.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

namespace keyin {
namespace {

constexpr RunKind kPractice = RunKind::kSingleArticlePractice, kMockTest = RunKind::kMockTest;

// Totals after a loop in which reference line 1 alone scored.
MatchTotals Scored(double score_sum, long long total_chars, long long errors, double adjusted = 0) {
  MatchTotals totals;
  totals.score_sum = score_sum;
  totals.adjusted_score_sum = adjusted;
  totals.total_chars = total_chars;
  totals.error_count = errors;
  totals.ref_used.assign(201, false);
  totals.ref_used[1] = true;
  return totals;
}

// Speeds are rounded up, the error rate down (4.67 per cent here); UseTime is in seconds.
TEST(TotScr, SpeedErrorRateAndTime) {
  const struct {
    const char* rule;
    double score_sum, adjusted_sum;
    RunKind kind;
    double speed, adjusted;
    std::u16string use_time, minutes, seconds;
  } cases[] = {
      {"speeds round up (22.7 and 20.2 per minute)", 113.5, 101, kPractice, 23, 21, u"300", u"5",
       u"0"},
      {"blanks around the seconds are allowed", 100, 0, kPractice, 40, 0, u"  150 ", u"2", u"30"},
      {"0.666...7 minutes leave 40 seconds", 100, 0, kPractice, 60, 0, u"100", u"1", u"40"},
      {"a mock test is capped at ten minutes", 100, 0, kMockTest, 10, 0, u"720", u"10", u"0"},
      {"a practice is not", 100, 0, kPractice, 9, 0, u"720", u"12", u"0"},
      {"9.99999999999996 seconds are cut to 9", 100, 0, RunKind::kCustomTextPractice, 10, 0, u"610",
       u"10", u"9"},
  };
  for (const auto& c : cases) {
    const Scores s = TotScr(Scored(c.score_sum, 150, 7, c.adjusted_sum), {}, c.use_time, c.kind);
    EXPECT_EQ(std::tuple(s.CharsPerMinute, s.AdjustedCharsPerMinute, s.ErrorRate, s.TestMinutesText,
                         s.TestSecondsText),
              std::tuple(c.speed, std::optional(c.adjusted), 4.0, c.minutes, c.seconds))
        << c.rule;
  }
}

// Unused lines up to the highest scored one count as wholly missed; lines past the end of the
// text read as empty.
TEST(TotScr, ReCalc) {
  const ReferenceLines reference = {u"", u"一一一一", u"二二二", u"三三", u"四四四四四", u"五五"};
  MatchTotals totals = Scored(10, 9, 1);
  totals.ref_used[2] = totals.ref_used[5] = true;
  totals.highest_scored_line = 5;
  const Scores s = TotScr(totals, reference, u"60", kPractice);
  EXPECT_EQ(std::tuple(s.SkippedText, s.TotalChars, s.ErrorCount, s.ErrorRate),
            std::tuple(u"三三四四四四四", 9 + 7, 1 + 7, 50.0));
  const ReferenceLines short_text(reference.begin(), reference.begin() + 4);
  EXPECT_EQ(TotScr(totals, short_text, u"60", kPractice).SkippedText, u"三三");
}

// Nothing scored: no lines charged, 99%, no adjusted speed, a mock-test time not capped.
TEST(TotScr, NothingScored) {
  MatchTotals totals;
  totals.highest_scored_line = 5;
  const Scores s = TotScr(totals, {u"", u"一", u"二", u"三", u"四", u"五"}, u"720", kMockTest);
  EXPECT_EQ(std::tuple(s.CharsPerMinute, s.ErrorRate, s.AdjustedCharsPerMinute, s.SkippedText,
                       s.TestMinutesText),
            std::tuple(0.0, 99.0, std::optional<double>(), u"", u"12"));
  EXPECT_EQ(TotScr(MatchTotals{}, {}, u"0", kPractice).TestMinutesText, u"0");
}

TEST(TotScr, TimesThatGiveNoSpeedAreErrors) {
  for (const std::u16string use_time : {u"", u"5 min", u"1e400"}) {
    EXPECT_THROW(TotScr(MatchTotals{}, {}, use_time, kPractice), ScoreError);
  }
  for (const std::u16string use_time : {u"0", u"-60", u"1e-320"}) {  // with lines scored
    EXPECT_THROW(TotScr(Scored(10, 10, 0), {}, use_time, kPractice), ScoreError);
  }
}

}  // namespace
}  // namespace keyin
