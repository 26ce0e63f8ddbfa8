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
          .adjusted_score = 1.0 * n,
          .wrong_mark = text};
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

// Nothing scored, with a deduction standard: 99% and an empty adjusted speed.
TEST(ListingSummary, NothingScored) {
  Scores scores;
  scores.TestMinutesText = u"1";
  scores.TestSecondsText = u"0";
  scores.Deduction = 1;
  EXPECT_EQ(ListingSummary(u"CTEST-2", scores, 1),
            (Lines{u"** CTEST-2  平均字數 =0  錯誤率 =0/0=99%  測驗時間:1分0秒",
                   std::u16string(72, u'^') + u" ", u"** 依扣分標準=1 調整後    平均字數= "}));
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
