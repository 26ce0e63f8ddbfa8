#include "scoring/reports.h"

#include <gtest/gtest.h>

namespace keyin {
namespace {

using Lines = std::vector<std::u16string>;

std::u16string Blanks(std::size_t count) { return std::u16string(count, u'\u3000'); }

std::u16string Digits(std::size_t value) {
  const std::string text = std::to_string(value);
  return {text.begin(), text.end()};
}

ScoredLine ExactLine(int typed_number, int best_line, const std::u16string& text) {
  ScoredLine line;
  line.typed_number = typed_number;
  line.best_line = best_line;
  line.reference_line = text;
  line.reference_copy = std::u16string(text.size(), u'○');
  line.typed_copy = std::u16string(text.size(), u'○');
  line.typed_line = text;
  line.hits = static_cast<int>(text.size());
  line.score = static_cast<double>(text.size());
  line.adjusted_score = line.score;
  return line;
}

TEST(ListingBlock, ExactCopy) {
  EXPECT_EQ(ListingBlock(ExactLine(3, 7, u"甲乙丙")), (Lines{
                                                          u"07 甲乙丙" + Blanks(32) + u" +3",
                                                          u" A ○○○" + Blanks(32) + u" -0.0",
                                                          u" B ○○○" + Blanks(32) + u" -0.0",
                                                          u"03 甲乙丙" + Blanks(32) + u" =3.0",
                                                          u"",
                                                      }));
}

TEST(ListingBlock, MarkedLineWithHalfCounts) {
  ScoredLine line;
  line.typed_number = 12;
  line.best_line = 11;
  line.reference_line = u"ABCDEFGHIJKLMN";
  line.reference_copy = u"○B○○○○○○○○○○○○";
  line.typed_copy = u"ＸＸ○○○○○○○○○○○○";
  line.typed_line = u"BACDEFGHIJKLMN";
  line.hits = 13;
  line.missing = 1;
  line.extra = 1;
  line.score = 12;
  const Lines block = ListingBlock(line);
  EXPECT_EQ(block[0], u"11 ABCDEFGHIJKLMN" + Blanks(21) + u" +13");
  EXPECT_EQ(block[1], u" A ○B○○○○○○○○○○○○" + Blanks(21) + u" -0.5");
  EXPECT_EQ(block[2], u" B ＸＸ○○○○○○○○○○○○" + Blanks(21) + u" -0.5");
  EXPECT_EQ(block[3], u"12 BACDEFGHIJKLMN" + Blanks(21) + u" =12.0");

  line.missing = 3;
  line.score = 12.5;
  EXPECT_EQ(ListingBlock(line)[1].substr(3 + 14 + 21), u" -1.5");
  EXPECT_EQ(ListingBlock(line)[3].substr(3 + 14 + 21), u" =12.5");
}

TEST(ListingBlock, LongLinesKeepOneFillBlankExceptTheReferenceLine) {
  const struct {
    std::size_t length;
    std::size_t first_fill, other_fill;
  } cases[] = {{34, 1, 1}, {35, 0, 1}, {40, 0, 1}};
  for (const auto& c : cases) {
    const std::u16string text(c.length, u'字');
    const Lines block = ListingBlock(ExactLine(1, 1, text));
    const std::u16string count = Digits(c.length);
    EXPECT_EQ(block[0], u"01 " + text + Blanks(c.first_fill) + u" +" + count) << c.length;
    EXPECT_EQ(block[1], u" A " + std::u16string(c.length, u'○') + Blanks(c.other_fill) + u" -0.0");
    EXPECT_EQ(block[2], u" B " + std::u16string(c.length, u'○') + Blanks(c.other_fill) + u" -0.0");
    EXPECT_EQ(block[3], u"01 " + text + Blanks(c.other_fill) + u" =" + count + u".0");
  }
}

TEST(ListingBlock, LineNumbersAreTheLastTwoDigits) {
  ScoredLine line = ExactLine(112, 98, u"甲乙");
  EXPECT_EQ(ListingBlock(line)[0].substr(0, 3), u"98 ");
  EXPECT_EQ(ListingBlock(line)[3].substr(0, 3), u"12 ");
  line.typed_number = 200;
  EXPECT_EQ(ListingBlock(line)[3].substr(0, 3), u"00 ");
}

TEST(ListingBlock, UnmatchedLine) {
  ScoredLine line;
  line.typed_number = 30;
  line.typed_copy = u"亂打的字";
  line.typed_line = u"亂打的字";
  EXPECT_EQ(ListingBlock(line), (Lines{
                                    u"00 " + Blanks(35) + u" +0",
                                    u" A " + Blanks(35) + u" -0.0",
                                    u" B 亂打的字" + Blanks(31) + u" -0.0",
                                    u"30 亂打的字" + Blanks(31) + u" =0.0",
                                    u"",
                                }));
}

Scores SampleScores() {
  Scores scores;
  scores.CharsPerMinute = 23;
  scores.ErrorRate = 4;
  scores.AdjustedCharsPerMinute = 21;
  scores.TotalChars = 150;
  scores.ErrorCount = 7;
  scores.TestMinutes = 2.5;
  scores.TestMinutesText = u"2";
  scores.TestSecondsText = u"30";
  scores.Deduction = 1;
  return scores;
}

const std::u16string kSummaryLine = u"** CTEST-1  平均字數 =23  錯誤率 =7/150=4%  測驗時間:2分30秒";
const std::u16string kCarets =
    u"^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^ ";

TEST(ListingSummary, WithoutDeductionStandard) {
  for (const double subtract_score : {0.0, 0.5}) {
    EXPECT_EQ(ListingSummary(u"CTEST-1", SampleScores(), subtract_score),
              (Lines{kSummaryLine, kCarets}))
        << subtract_score;
  }
}

TEST(ListingSummary, WithDeductionStandard) {
  EXPECT_EQ(ListingSummary(u"CTEST-1", SampleScores(), 1),
            (Lines{kSummaryLine, kCarets, u"** 依扣分標準=1 調整後    平均字數= 21"}));

  Scores fractional = SampleScores();
  fractional.Deduction = 0.8;
  EXPECT_EQ(ListingSummary(u"CTEST-1", fractional, 0.8).back(),
            u"** 依扣分標準=0.8 調整後    平均字數= 21");
}

TEST(ListingSummary, NothingScored) {
  Scores scores;
  scores.TestMinutesText = u"1";
  scores.TestSecondsText = u"0";
  scores.Deduction = 1;
  EXPECT_EQ(ListingSummary(u"CTEST-2", scores, 1),
            (Lines{u"** CTEST-2  平均字數 =0  錯誤率 =0/0=99%  測驗時間:1分0秒", kCarets,
                   u"** 依扣分標準=1 調整後    平均字數= "}));
}

TEST(ScoreSummary, ThreeLines) {
  EXPECT_EQ(ScoreSummary(u"CTEST-2", SampleScores()),
            (Lines{u"CTEST-2 S=23 E=7/150=4%", u"23", u"4"}));
}

MatchTotals ErrorTotals(const std::u16string& missed, const std::u16string& wrong) {
  MatchTotals totals;
  totals.missed_chars = missed;
  totals.wrong_chars = wrong;
  return totals;
}

TEST(ErrChk, HeadingByKindOfRun) {
  const Scores scores = SampleScores();
  const MatchTotals totals = ErrorTotals(u"丙", u"Ｘ");
  EXPECT_EQ(ErrChk(u"A01", u"1", 3, scores, totals, u"2024/3/5", u"9:05:07").lines[0],
            u"A01-1 輸入測驗錯漏字檢查 2024/3/5 9:05:07");
  EXPECT_EQ(ErrChk(u"A01", u"2", 1, scores, totals, u"2024/3/5", u"9:05:07").lines[0],
            u"A01-2 輸入練習錯漏字檢查 2024/3/5 9:05:07");
}

TEST(ErrChk, ErrorTextAndErrorWords) {
  Scores scores = SampleScores();
  scores.SkippedText = u"  三三";
  const ErrorCheck check =
      ErrChk(u"A01", u"1", 1, scores, ErrorTotals(u"丙丁", u"戊 "), u"2024/3/5", u"9:05:07");
  const std::u16string error_text = u"  三三丙丁\r\n戊 " + std::u16string(40, u' ');
  EXPECT_EQ(check.lines, (Lines{check.lines[0], u"", error_text}));
  EXPECT_EQ(check.ErrorWords, u"三三丙丁\r\n戊");
}

TEST(ErrChk, NoErrors) {
  const ErrorCheck check =
      ErrChk(u"A01", u"1", 1, Scores{}, MatchTotals{}, u"2024/3/5", u"9:05:07");
  EXPECT_EQ(check.lines[2], u"\r\n" + std::u16string(40, u' '));
  EXPECT_EQ(check.ErrorWords, u"\r\n");
}

TEST(ErrChk, ErrorWordsKeepTheFirst250Characters) {
  const std::u16string missed(200, u'漏');
  const std::u16string wrong(100, u'錯');
  const ErrorCheck check =
      ErrChk(u"A01", u"1", 3, Scores{}, ErrorTotals(missed, wrong), u"2024/3/5", u"9:05:07");
  EXPECT_EQ(check.lines[2], missed + u"\r\n" + wrong + std::u16string(40, u' '));
  EXPECT_EQ(check.ErrorWords, missed + u"\r\n" + std::u16string(48, u'錯'));
}

}  // namespace
}  // namespace keyin
