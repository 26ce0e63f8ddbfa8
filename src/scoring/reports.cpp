// Report lines. The listing sets every text in a column of 35 characters padded with full-width
// blanks, so the counts line up for Chinese text in a fixed-width font; lines of 35 characters or
// more push their count out by one blank (the reference line of the first row by none). Line
// numbers are the last two digits of 100 + number, so 7 is "07" and 112 is "12".
#include "scoring/reports.h"

#include <algorithm>

#include "support/number_text.h"
#include "support/text.h"

namespace keyin {
namespace {

constexpr int kColumnWidth = 35;
constexpr std::size_t kErrorWordsLimit = 250;

// Full-width blanks; none for a count of 0 or less.
std::u16string Fill(long long count) {
  return count > 0 ? std::u16string(static_cast<std::size_t>(count), kFullBlank) : std::u16string();
}

long long ColumnFill(std::u16string_view text) {
  return kColumnWidth - static_cast<long long>(text.size());
}

std::u16string LineNumber(int number) {
  const std::u16string text = FormatNumber(100.0 + number);
  return text.size() > 2 ? text.substr(text.size() - 2) : text;
}

std::u16string Number(double value) { return FormatNumber(value); }

std::u16string Number(long long value) { return FormatNumber(static_cast<double>(value)); }

}  // namespace

std::vector<std::u16string> ListingBlock(const ScoredLine& line) {
  std::vector<std::u16string> block;
  block.push_back(LineNumber(line.best_line) + u" " + line.reference_line +
                  Fill(ColumnFill(line.reference_line)) + u" +" + FormatWhole(line.hits));
  block.push_back(u" A " + line.reference_copy +
                  Fill(std::max(ColumnFill(line.reference_copy), 1LL)) + u" -" +
                  FormatOneDecimal(line.missing / 2.0));
  block.push_back(u" B " + line.typed_copy + Fill(std::max(ColumnFill(line.typed_copy), 1LL)) +
                  u" -" + FormatOneDecimal(line.extra / 2.0));
  block.push_back(LineNumber(line.typed_number) + u" " + line.typed_line +
                  Fill(std::max(ColumnFill(line.typed_line), 1LL)) + u" =" +
                  FormatOneDecimal(line.score));
  block.emplace_back();
  return block;
}

std::vector<std::u16string> ListingSummary(std::u16string_view TestFileName, const Scores& scores,
                                           double SubtractScore) {
  std::vector<std::u16string> lines;
  lines.push_back(u"** " + std::u16string(TestFileName) + u"  平均字數 =" +
                  Number(scores.CharsPerMinute) + u"  錯誤率 =" + Number(scores.ErrorCount) + u"/" +
                  Number(scores.TotalChars) + u"=" + Number(scores.ErrorRate) + u"%" +
                  u"  測驗時間:" + scores.TestMinutesText + u"分" + scores.TestSecondsText + u"秒");
  lines.push_back(std::u16string(72, u'^') + u" ");
  if (SubtractScore > 0.5) {
    // An empty adjusted speed (nothing scored) prints as nothing.
    const std::u16string adjusted =
        scores.AdjustedCharsPerMinute ? Number(*scores.AdjustedCharsPerMinute) : std::u16string();
    lines.push_back(u"** 依扣分標準=" + Number(scores.Deduction) + u" 調整後    平均字數= " +
                    adjusted);
  }
  return lines;
}

std::vector<std::u16string> ScoreSummary(std::u16string_view TestFileName, const Scores& scores) {
  return {
      std::u16string(TestFileName) + u" S=" + Number(scores.CharsPerMinute) + u" E=" +
          Number(scores.ErrorCount) + u"/" + Number(scores.TotalChars) + u"=" +
          Number(scores.ErrorRate) + u"%",
      Number(scores.CharsPerMinute),
      Number(scores.ErrorRate),
  };
}

ErrorCheck ErrChk(std::u16string_view ExamPaperNo, std::u16string_view TestPart, RunKind kind,
                  const Scores& scores, const MatchTotals& totals, std::u16string_view date_text,
                  std::u16string_view time_text) {
  const std::u16string_view heading =
      kind == RunKind::kMockTest ? u" 輸入測驗錯漏字檢查 " : u" 輸入練習錯漏字檢查 ";
  const std::u16string error_text = scores.SkippedText + totals.missed_chars + u"\r\n" +
                                    totals.wrong_chars + std::u16string(40, kHalfBlank);

  ErrorCheck check;
  check.lines.push_back(std::u16string(ExamPaperNo) + u"-" + std::u16string(TestPart) +
                        std::u16string(heading) + std::u16string(date_text) + u" " +
                        std::u16string(time_text));
  check.lines.emplace_back();
  check.lines.push_back(error_text);
  // Cut by UTF-16 units, as the stored column counts them; a pair cut in half is kept as it is.
  check.ErrorWords = TrimBlanks(error_text).substr(0, kErrorWordsLimit);
  return check;
}

}  // namespace keyin
