#include "scoring/reports.h"

#include <gtest/gtest.h>

namespace keyin {
namespace {

using Lines = std::vector<std::u16string>;
std::u16string Blanks(std::size_t count) { return std::u16string(count, u'\u3000'); }

// A typed line that copies its reference line exactly.
ScoredLine ExactLine(int typed_number, int best_line, const std::u16string& text) {
  const std::u16string circles(text.size(), u'○');
  const auto n = static_cast<int>(text.size());
  return {.typed_number = typed_number,
          .best_line = best_line,
          .reference_line = text,
          .reference_copy = circles,
          .typed_copy = circles,
          .typed_line = text,
          .hits = n,
          .missing = 0,
          .extra = 0,
          .charged = n,
          .score = 1.0 * n,
          .adjusted_score = 1.0 * n};
}

// Lines are filled to 35 characters; longer ones keep one fill blank, except the reference line.
TEST(ListingBlock, Layout) {
  const std::u16string fill = Blanks(32);
  EXPECT_EQ(ListingBlock(ExactLine(3, 7, u"甲乙丙")),
            (Lines{u"07 甲乙丙" + fill + u" +3", u" A ○○○" + fill + u" -0.0",
                   u" B ○○○" + fill + u" -0.0", u"03 甲乙丙" + fill + u" =3.0", u""}));
  EXPECT_EQ(ListingBlock(ExactLine(112, 98, u"甲乙"))[3].substr(0, 3), u"12 ");  // last 2 digits
  for (const auto& [length, count] :
       {std::pair<std::size_t, std::u16string>{34, u"34"}, {35, u"35"}}) {
    const std::u16string text(length, u'字'), circles(length, u'○'), fill = Blanks(1);
    EXPECT_EQ(ListingBlock(ExactLine(1, 1, text)),
              (Lines{u"01 " + text + Blanks(length < 35) + u" +" + count,
                     u" A " + circles + fill + u" -0.0", u" B " + circles + fill + u" -0.0",
                     u"01 " + text + fill + u" =" + count + u".0", u""}));
  }
}

// The adjusted speed shows only above the default deduction of 0.5; with nothing scored it is
// empty.
TEST(ListingSummary, AdjustedSpeedAboveTheDefaultDeductionOnly) {
  Scores scored;
  scored.CharsPerMinute = 40;
  scored.ErrorCount = 3;
  scored.TotalChars = 120;
  scored.ErrorRate = 2;
  scored.TestMinutesText = u"5";
  scored.TestSecondsText = u"0";
  scored.AdjustedCharsPerMinute = 38;
  scored.Deduction = 0.75;
  Scores nothing;
  nothing.TestMinutesText = u"1";
  nothing.TestSecondsText = u"0";
  nothing.Deduction = 1;
  const std::u16string ruler = std::u16string(72, u'^') + u" ";
  const struct {
    const char* rule;
    const Scores& scores;
    double SubtractScore;
    Lines lines;
  } cases[] = {
      {"the default deduction shows no adjusted speed",
       scored,
       0.5,
       {u"** CTEST-1  平均字數 =40  錯誤率 =3/120=2%  測驗時間:5分0秒", ruler}},
      {"a deduction above it shows the adjusted speed",
       scored,
       0.75,
       {u"** CTEST-1  平均字數 =40  錯誤率 =3/120=2%  測驗時間:5分0秒", ruler,
        u"** 依扣分標準=0.75 調整後    平均字數= 38"}},
      {"nothing scored: 99% and an empty adjusted speed",
       nothing,
       1,
       {u"** CTEST-1  平均字數 =0  錯誤率 =0/0=99%  測驗時間:1分0秒", ruler,
        u"** 依扣分標準=1 調整後    平均字數= "}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ListingSummary(u"CTEST-1", c.scores, c.SubtractScore), c.lines) << c.rule;
  }
}

// ErrorWords is stored: the error text without its outer blanks, at most 250 characters.
TEST(ErrChk, ErrorWords) {
  Scores scores;
  scores.SkippedText = u"  三三";
  MatchTotals totals;
  totals.missed_chars = u"丙丁";
  totals.wrong_chars = u"戊 ";
  const ErrorCheck check =
      ErrChk(u"A01", u"1", RunKind::kMockTest, scores, totals, u"2024/3/5", u"9:05:07");
  EXPECT_EQ(check.lines[0], u"A01-1 輸入測驗錯漏字檢查 2024/3/5 9:05:07");
  EXPECT_EQ(check.ErrorWords, u"三三丙丁\r\n戊");
  totals.missed_chars = std::u16string(200, u'漏');
  totals.wrong_chars = std::u16string(100, u'錯');
  EXPECT_EQ(ErrChk(u"A01", u"1", RunKind::kMockTest, Scores{}, totals, u"", u"").ErrorWords,
            totals.missed_chars + u"\r\n" + std::u16string(48, u'錯'));
}

}  // namespace
}  // namespace keyin
