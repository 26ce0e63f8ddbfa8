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

constexpr std::size_t kColumnWidth = 35;
constexpr std::size_t kErrorWordsLimit = 250;

// One row of a listing block: the head, the text, full-width blanks up to the column (at least
// `least_fill` of them), then the label and the count.
std::u16string BlockLine(std::u16string_view head, std::u16string_view text, std::size_t least_fill,
                         std::u16string_view label, std::u16string_view count) {
  const std::size_t fill = std::max(kColumnWidth - std::min(text.size(), kColumnWidth), least_fill);
  std::u16string row;
  row.reserve(head.size() + text.size() + fill + label.size() + count.size());
  row.append(head).append(text).append(fill, kFullBlank).append(label).append(count);
  return row;
}

std::u16string LineNumber(int number) {
  const std::u16string text = FormatNumber(100.0 + number);
  return text.size() > 2 ? text.substr(text.size() - 2) : text;
}

std::u16string Number(double value) { return FormatNumber(value); }

std::u16string Number(long long value) { return FormatNumber(static_cast<double>(value)); }

}  // namespace

std::vector<std::u16string> ListingBlock(const ScoredLine& line) {
  const std::u16string reference_number = LineNumber(line.best_line) + u" ";
  const std::u16string typed_number = LineNumber(line.typed_number) + u" ";
  // The reference line of the first row alone may end at the column without a fill blank.
  return {
      BlockLine(reference_number, line.reference_line, 0, u" +", FormatWhole(line.hits)),
      BlockLine(u" A ", line.reference_copy, 1, u" -", FormatOneDecimal(line.missing / 2.0)),
      BlockLine(u" B ", line.typed_copy, 1, u" -", FormatOneDecimal(line.extra / 2.0)),
      BlockLine(typed_number, line.typed_line, 1, u" =", FormatOneDecimal(line.score)),
      std::u16string(),
  };
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
